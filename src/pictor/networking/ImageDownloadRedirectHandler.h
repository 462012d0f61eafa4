#pragma once

#include "pictor/networking/URLResponse.h"

#include <QCoro/QCoroTask>
#include <QNetworkRequest>

#include <optional>

namespace pictor {

class SessionDataTask;

// Decides whether a transfer follows a redirection: the request to follow, or none to stop.
class ImageDownloadRedirectHandler {
public:
    virtual ~ImageDownloadRedirectHandler() = default;
    virtual QCoro::Task<std::optional<QNetworkRequest>> handleHTTPRedirection(
        std::shared_ptr<SessionDataTask> task, URLResponse response, QNetworkRequest newRequest) const = 0;
};

} // namespace pictor
