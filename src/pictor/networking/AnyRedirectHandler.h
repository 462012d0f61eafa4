#pragma once

#include "pictor/networking/ImageDownloadRedirectHandler.h"

#include <QCoro/QCoroFuture>
#include <QFutureInterface>

#include <functional>
#include <memory>

namespace pictor {

// A redirect handler made from a closure that answers through a completion, called exactly once,
// from any thread; the redirection waits until it is.
class AnyRedirectHandler : public ImageDownloadRedirectHandler {
public:
    using Answer = std::function<void(std::optional<QNetworkRequest>)>;
    using Block = std::function<void(std::shared_ptr<SessionDataTask>, const URLResponse&, const QNetworkRequest&, Answer)>;
    explicit AnyRedirectHandler(Block block) : block_(std::move(block)) {}

    QCoro::Task<std::optional<QNetworkRequest>> handleHTTPRedirection(
        std::shared_ptr<SessionDataTask> task, URLResponse response, QNetworkRequest newRequest) const override
    {
        auto promise = std::make_shared<QFutureInterface<std::optional<QNetworkRequest>>>();
        promise->reportStarted();
        block_(std::move(task), response, newRequest, [promise](std::optional<QNetworkRequest> request) {
            promise->reportResult(std::move(request));
            promise->reportFinished();
        });
        const QFuture<std::optional<QNetworkRequest>> answered = promise->future();
        co_return co_await answered;
    }

private:
    Block block_;
};

} // namespace pictor
