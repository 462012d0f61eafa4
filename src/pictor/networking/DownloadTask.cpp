#include "pictor/networking/DownloadTask.h"

#include "pictor/networking/SessionDataTask.h"

namespace pictor {

std::shared_ptr<SessionDataTask> DownloadTask::sessionTask() const
{
    std::lock_guard lock(mutex_);
    return sessionTask_;
}

std::optional<qint64> DownloadTask::cancelToken() const
{
    std::lock_guard lock(mutex_);
    return cancelToken_;
}

bool DownloadTask::isInitialized() const
{
    std::lock_guard lock(mutex_);
    return sessionTask_ && cancelToken_;
}

void DownloadTask::link(std::shared_ptr<SessionDataTask> sessionTask, qint64 cancelToken)
{
    std::lock_guard lock(mutex_);
    sessionTask_ = std::move(sessionTask);
    cancelToken_ = cancelToken;
}

void DownloadTask::cancel()
{
    std::shared_ptr<SessionDataTask> task;
    std::optional<qint64> token;
    {
        std::lock_guard lock(mutex_);
        if (!sessionTask_ || !cancelToken_)
            return;
        task = sessionTask_;
        token = cancelToken_;
    }
    task->cancel(*token);
}

} // namespace pictor
