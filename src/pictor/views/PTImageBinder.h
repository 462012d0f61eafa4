#pragma once

#include "pictor/networking/DownloadTask.h"
#include "pictor/core/Image.h"
#include "pictor/views/PTImageContext.h"

#include <QObject>

#include <atomic>
#include <memory>
#include <optional>

namespace pictor {

// The loading state of one declarative image view: starts one retrieval for its context and
// publishes progress, the loaded (or progressive, or failure) image and the failure view, telling
// the view through changed(). Each start is a new request; a completion or an intermediate image
// of an earlier request is ignored, so a cancelled load never overwrites a newer one. GUI thread.
class PTImageBinder : public QObject {
    Q_OBJECT
public:
    explicit PTImageBinder(QObject* parent = nullptr) : QObject(parent) {}

    const std::shared_ptr<DownloadTask>& downloadTask() const { return downloadTask_; }
    bool isLoading() const { return loading_; }
    bool isLoaded() const { return loaded_; }
    bool isAnimating() const { return animating_; }
    const std::optional<Image>& loadedImage() const { return loadedImage_; }
    const PTImageContext::FailureViewFactory& failureView() const { return failureView_; }
    qint64 receivedBytes() const { return received_; }
    qint64 expectedBytes() const { return expected_; }
    // The fade of the image shown last, when it should fade in.
    std::optional<double> fadeDuration() const { return fadeDuration_; }

    // Starts a retrieval; callers start only when not loading and nothing is loaded.
    void start(const std::shared_ptr<PTImageContext>& context);
    // Marks a load as begun before it is started (the early start of a view).
    void setLoading(bool loading) { loading_ = loading; }
    // Cancels the running download and forgets it.
    void cancel();
    // A running transfer keeps its priority once started; these only apply to downloads not yet
    // sent, through the options of the next start.
    void restorePriorityOnAppear();
    void lowerPriorityOnDisappear();

signals:
    void changed();
    void progressChanged(qint64 received, qint64 expected);

private:
    void failEmptySource(const std::shared_ptr<PTImageContext>& context);
    void complete(quint64 request, const std::shared_ptr<PTImageContext>& context, Result<RetrieveImageResult, PictorError> result);

    std::shared_ptr<std::atomic<quint64>> request_ = std::make_shared<std::atomic<quint64>>(0);
    std::shared_ptr<DownloadTask> downloadTask_;
    bool loading_ = false;
    bool loaded_ = false;
    bool animating_ = false;
    bool lowPriority_ = false;
    std::optional<Image> loadedImage_;
    PTImageContext::FailureViewFactory failureView_;
    qint64 received_ = 0;
    qint64 expected_ = 0;
    std::optional<double> fadeDuration_;
};

} // namespace pictor
