#pragma once

#include <QByteArray>
#include <QUrl>

namespace pictor {

// A live-photo resource as it arrived: the URL of the final request and its bytes, undecoded.
struct LivePhotoResourceDownloadingResult {
    QUrl url;
    QByteArray originalData;
};

} // namespace pictor
