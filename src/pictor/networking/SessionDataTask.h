#pragma once

#include "pictor/core/Delegate.h"
#include "pictor/networking/ImageLoadingResult.h"
#include "pictor/networking/NetworkMetrics.h"
#include "pictor/core/PictorError.h"
#include "pictor/retrieval/PictorParsedOptionsInfo.h"
#include "pictor/core/Result.h"
#include "pictor/networking/URLResponse.h"

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QUrl>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace pictor {

// One transfer shared by every caller that asks for its URL while it runs: the received bytes,
// the waiting callers under increasing tokens (never reused), the response and timing, and the
// hooks through which the session delegate and the downloader hear that it ended or that one
// caller gave up. Created by the session delegate; every member is safe from any thread.
class SessionDataTask : public std::enable_shared_from_this<SessionDataTask> {
public:
    using ImageResult = Result<ImageLoadingResult, PictorError>;
    using Completion = std::function<void(ImageResult)>;

    // One waiting caller: its completion (none when it gave none) and its own options.
    struct TaskCallback {
        std::shared_ptr<Delegate<void(ImageResult)>> onCompleted;
        PictorParsedOptionsInfo options;
    };
    struct Downloaded {
        QByteArray data;
        std::optional<URLResponse> response;
    };
    using TaskResult = Result<Downloaded, PictorError>;

    SessionDataTask(QNetworkRequest request, std::function<void(SessionDataTask&)> resume,
                    std::function<void(SessionDataTask&)> abort);

    const QUrl& originalURL() const { return originalURL_; }
    const QNetworkRequest& request() const { return request_; }
    // Unique in the process: tells a transfer from a later one for the same URL.
    quint64 identifier() const { return identifier_; }
    // For error texts: "SessionDataTask(#<id>, <url>)".
    QString description() const;

    QByteArray mutableData() const;
    qsizetype dataSize() const;
    void appendData(const QByteArray& chunk);
    // Room for the body the response announces, so the appends never move what arrived.
    void reserveData(qsizetype bytes);
    std::optional<NetworkMetrics> metrics() const;
    void setMetrics(std::optional<NetworkMetrics> metrics);
    std::optional<URLResponse> response() const;
    void setResponse(URLResponse response);

    qint64 addCallback(TaskCallback callback);
    std::optional<TaskCallback> removeCallback(qint64 token);
    // Removes the caller and tells onCallbackCancelled; an unknown token does nothing.
    void cancel(qint64 token);
    // Cancels the callers present now, in token order.
    void cancelAllCallbacks();
    // In token order.
    QList<TaskCallback> callbacks() const;
    QList<TaskCallback> takeAllCallbacks();
    // The same with each caller's token.
    QList<std::pair<qint64, TaskCallback>> takeAllEntries();

    // Resumes the platform transfer the first time only.
    void start();
    bool isStarted() const { return started_; }
    // Stops the platform transfer (it reports nothing further to the callers).
    void abortTransfer();

    Delegate<void(TaskResult, QList<TaskCallback>)> onTaskDone;
    Delegate<void(qint64, TaskCallback)> onCallbackCancelled;

private:
    QNetworkRequest request_;
    QUrl originalURL_;
    quint64 identifier_;
    std::function<void(SessionDataTask&)> resume_;
    std::function<void(SessionDataTask&)> abort_;
    mutable std::mutex mutex_;
    QByteArray data_;
    std::map<qint64, TaskCallback> callbacks_;
    qint64 currentToken_ = 0;
    std::optional<NetworkMetrics> metrics_;
    std::optional<URLResponse> response_;
    std::atomic<bool> started_ = false;
};

} // namespace pictor
