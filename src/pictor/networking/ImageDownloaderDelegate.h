#pragma once

#include "pictor/core/Image.h"
#include "pictor/core/PictorError.h"
#include "pictor/networking/URLResponse.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QNetworkRequest>
#include <QUrl>

#include <optional>

namespace pictor {

class ImageDownloader;
class SessionDataTask;

enum class ResponseDisposition { allow, cancel };

// Sees the life of every transfer of a downloader and takes its decisions; each method has the
// default the downloader uses when no delegate is set.
class ImageDownloaderDelegate {
public:
    virtual ~ImageDownloaderDelegate() = default;

    virtual void willDownloadImage(ImageDownloader&, const QUrl&, const std::optional<QNetworkRequest>&) {}
    virtual void didFinishDownloadingImage(ImageDownloader&, const QUrl&, const std::optional<URLResponse>&,
                                           const std::optional<PictorError>&) {}
    // The final bytes of a transfer; none refuses them. Default: didDownloadData for its URL.
    virtual std::optional<QByteArray> didDownloadTaskData(ImageDownloader& downloader, const QByteArray& data, SessionDataTask& task);
    virtual std::optional<QByteArray> didDownloadData(ImageDownloader&, const QByteArray& data, const QUrl&) { return data; }
    virtual void didDownloadImage(ImageDownloader&, const Image&, const QUrl&, const std::optional<URLResponse>&) {}
    // Default: 200 to 399.
    virtual bool isValidStatusCode(qint64 code, ImageDownloader&) { return code >= 200 && code <= 399; }
    virtual QCoro::Task<ResponseDisposition> didReceiveResponse(ImageDownloader&, URLResponse) { co_return ResponseDisposition::allow; }
};

} // namespace pictor
