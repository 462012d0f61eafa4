#pragma once

#include <QtGlobal>

#include <memory>
#include <mutex>
#include <optional>

namespace pictor {

class SessionDataTask;

// One caller's handle on a shared transfer: cancelling it withdraws only this caller. It is
// unlinked until the downloader has started or joined the transfer (an asynchronous request
// modifier may still be preparing the request); an unlinked handle names nothing to withdraw, so
// cancelling it does nothing. Safe to use from any thread.
class DownloadTask {
public:
    DownloadTask() = default;
    DownloadTask(std::shared_ptr<SessionDataTask> sessionTask, qint64 cancelToken)
        : sessionTask_(std::move(sessionTask)), cancelToken_(cancelToken) {}

    std::shared_ptr<SessionDataTask> sessionTask() const;
    std::optional<qint64> cancelToken() const;
    bool isInitialized() const;

    // Links the handle to a caller's place in a transfer; it stays linked.
    void link(std::shared_ptr<SessionDataTask> sessionTask, qint64 cancelToken);
    void cancel();

private:
    mutable std::mutex mutex_;
    std::shared_ptr<SessionDataTask> sessionTask_;
    std::optional<qint64> cancelToken_;
};

} // namespace pictor
