#pragma once

#include "pictor/networking/URLResponse.h"

#include <QCoro/QCoroTask>
#include <QNetworkRequest>

#include <optional>

namespace pictor {

class SessionDataTask;

// Decides whether a transfer follows a redirection: the request to follow, or none to stop. A
// request the handler builds itself carries the downloader's time-out all the same (a shorter one
// of its own stays). When it answers none, the redirecting answer is the transfer's final one:
// its status is judged like any other, and its body (a page, not an image), read while the
// handler decides, is handed on up to kFinalBodyLimit bytes; a longer body is cut there.
class ImageDownloadRedirectHandler {
public:
    static constexpr qint64 kFinalBodyLimit = 64 * 1024;

    virtual ~ImageDownloadRedirectHandler() = default;
    virtual QCoro::Task<std::optional<QNetworkRequest>> handleHTTPRedirection(
        std::shared_ptr<SessionDataTask> task, URLResponse response, QNetworkRequest newRequest) const = 0;
};

} // namespace pictor
