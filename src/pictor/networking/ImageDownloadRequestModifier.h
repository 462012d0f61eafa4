#pragma once

#include "pictor/networking/AsyncImageDownloadRequestModifier.h"

namespace pictor {

// A request modifier that answers at once, on the calling thread; the downloader prefers this form.
class ImageDownloadRequestModifier : public AsyncImageDownloadRequestModifier {
public:
    virtual std::optional<QNetworkRequest> modified(const QNetworkRequest& request) const = 0;
    QCoro::Task<std::optional<QNetworkRequest>> modifiedAsync(QNetworkRequest request) const override
    {
        co_return modified(request);
    }
};

} // namespace pictor
