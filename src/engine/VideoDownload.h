#pragma once

#include "platform/HttpResponse.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <functional>

// One download of a cached video, in a transfer of its own: the body streams to a temporary
// file beside the destination and replaces it only when a complete 2xx reply arrived, so no
// partial file is ever taken for a whole one. Used on the GUI thread by the master and preview
// video caches.
class VideoDownload {
public:
    // Fraction done (bytes received ÷ bytes announced), on the GUI thread, once per chunk; never
    // called when the server does not announce a length.
    using ProgressHandler = std::function<void(double fraction)>;

    // The response whatever its status (a non-2xx status writes nothing). Throws HttpError when
    // the transfer fails or is cut short, FileError when the file cannot be written.
    static QCoro::Task<HttpResponse> run(QUrl url, QString destinationPath, ProgressHandler progress);
};
