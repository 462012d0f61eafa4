#include "pictor/networking/SessionDataTask.h"

namespace pictor {

namespace {
std::atomic<quint64> nextIdentifier = 1;
}

SessionDataTask::SessionDataTask(QNetworkRequest request, std::function<void(SessionDataTask&)> resume,
                                 std::function<void(SessionDataTask&)> abort)
    : request_(std::move(request)), originalURL_(request_.url()), identifier_(nextIdentifier++),
      resume_(std::move(resume)), abort_(std::move(abort))
{
}

QString SessionDataTask::description() const
{
    return QStringLiteral("SessionDataTask(#%1, %2)").arg(identifier_).arg(originalURL_.toDisplayString());
}

QByteArray SessionDataTask::mutableData() const
{
    std::lock_guard lock(mutex_);
    return data_;
}

qsizetype SessionDataTask::dataSize() const
{
    std::lock_guard lock(mutex_);
    return data_.size();
}

void SessionDataTask::appendData(const QByteArray& chunk)
{
    std::lock_guard lock(mutex_);
    data_.append(chunk);
}

void SessionDataTask::reserveData(qsizetype bytes)
{
    std::lock_guard lock(mutex_);
    data_.reserve(bytes);
}

std::optional<NetworkMetrics> SessionDataTask::metrics() const
{
    std::lock_guard lock(mutex_);
    return metrics_;
}

void SessionDataTask::setMetrics(std::optional<NetworkMetrics> metrics)
{
    std::lock_guard lock(mutex_);
    metrics_ = std::move(metrics);
}

std::optional<URLResponse> SessionDataTask::response() const
{
    std::lock_guard lock(mutex_);
    return response_;
}

void SessionDataTask::setResponse(URLResponse response)
{
    std::lock_guard lock(mutex_);
    response_ = std::move(response);
}

qint64 SessionDataTask::addCallback(TaskCallback callback)
{
    std::lock_guard lock(mutex_);
    const qint64 token = currentToken_++;
    callbacks_.emplace(token, std::move(callback));
    return token;
}

std::optional<SessionDataTask::TaskCallback> SessionDataTask::removeCallback(qint64 token)
{
    std::lock_guard lock(mutex_);
    const auto found = callbacks_.find(token);
    if (found == callbacks_.end())
        return std::nullopt;
    TaskCallback callback = std::move(found->second);
    callbacks_.erase(found);
    return callback;
}

void SessionDataTask::cancel(qint64 token)
{
    if (std::optional<TaskCallback> callback = removeCallback(token))
        onCallbackCancelled.call(token, std::move(*callback));
}

void SessionDataTask::cancelAllCallbacks()
{
    QList<qint64> tokens;
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : callbacks_)
            tokens.append(entry.first);
    }
    for (const qint64 token : tokens)
        cancel(token);
}

QList<SessionDataTask::TaskCallback> SessionDataTask::callbacks() const
{
    std::lock_guard lock(mutex_);
    QList<TaskCallback> list;
    for (const auto& entry : callbacks_)
        list.append(entry.second);
    return list;
}

QList<SessionDataTask::TaskCallback> SessionDataTask::takeAllCallbacks()
{
    QList<TaskCallback> list;
    for (auto& entry : takeAllEntries())
        list.append(std::move(entry.second));
    return list;
}

QList<std::pair<qint64, SessionDataTask::TaskCallback>> SessionDataTask::takeAllEntries()
{
    std::lock_guard lock(mutex_);
    QList<std::pair<qint64, TaskCallback>> list;
    for (auto& entry : callbacks_)
        list.append({entry.first, std::move(entry.second)});
    callbacks_.clear();
    return list;
}

void SessionDataTask::start()
{
    if (!started_.exchange(true))
        resume_(*this);
}

void SessionDataTask::abortTransfer() { abort_(*this); }

} // namespace pictor
