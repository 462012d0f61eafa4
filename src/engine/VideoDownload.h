#pragma once

#include "platform/DownloadDurability.h"
#include "platform/HttpResponse.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class HttpBodyTap;

// One download of a cached video, in a transfer of its own: the body streams to a temporary
// file beside the destination and replaces it only when a complete 2xx reply arrived, so no
// partial file is ever taken for a whole one. A reply longer than the video can be ends as an
// error instead of filling the disk. Used on the GUI thread by the master and preview video
// caches.
class VideoDownload {
public:
    // Bounds for a video whose record states no size: far above any real one.
    static constexpr qint64 kUnstatedMasterBytes = qint64(8) << 30;
    static constexpr qint64 kUnstatedPreviewBytes = qint64(1) << 30;

    // Fraction done (bytes received ÷ bytes announced), on the GUI thread, once per chunk; never
    // called when the server does not announce a length.
    using ProgressHandler = std::function<void(double fraction)>;

    // The most bytes a video whose record gives `statedSize` (its display text, "<n>MB", rounded
    // to whole MiB) may have: a quarter more than the largest size that text stands for, or
    // `unstated` when there is no such text or it says "0MB", which stands for an unknown size.
    static qint64 limitFor(const std::optional<QString>& statedSize, qint64 unstated);

    // The response whatever its status (a non-2xx status writes nothing). Throws HttpError when
    // the transfer fails or is cut short, when an HTTPS address sends it on to plain HTTP, or
    // (HttpError::Kind::TooLarge) when the body runs past `maxBytes`; FileError when the file
    // cannot be written. Nothing is left at
    // `destinationPath` after a failure.
    // `durability` and `tap` go to Http::download: whether the file is synced before it takes
    // its name, and what sees the body as it is written.
    static QCoro::Task<HttpResponse> run(QUrl url, QString destinationPath, DownloadDurability durability,
        ProgressHandler progress, qint64 maxBytes, std::shared_ptr<HttpBodyTap> tap = {});
};
