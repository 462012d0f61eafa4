#pragma once

#include <QtGlobal>

#include <memory>
#include <mutex>
#include <optional>

namespace pictor {

class SessionDataTask;

// One caller's handle on a shared transfer: cancelling it withdraws only this caller. It is
// unlinked until the downloader has started or joined the transfer; a cancel that arrives before
// that is kept and applied the moment the handle is linked. Safe to use from any thread.
class DownloadTask {
public:
    DownloadTask() = default;
    DownloadTask(std::shared_ptr<SessionDataTask> sessionTask, qint64 cancelToken)
        : sessionTask_(std::move(sessionTask)), cancelToken_(cancelToken) {}

    std::shared_ptr<SessionDataTask> sessionTask() const;
    std::optional<qint64> cancelToken() const;
    bool isInitialized() const;

    // Links the handle to a caller's place in a transfer, cancelling it at once when a cancel
    // was asked for meanwhile.
    void link(std::shared_ptr<SessionDataTask> sessionTask, qint64 cancelToken);
    void cancel();

private:
    mutable std::mutex mutex_;
    std::shared_ptr<SessionDataTask> sessionTask_;
    std::optional<qint64> cancelToken_;
    bool cancelRequested_ = false;
};

} // namespace pictor
