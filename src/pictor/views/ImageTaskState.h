#pragma once

#include "pictor/networking/DownloadTask.h"
#include "pictor/retrieval/SourceIdentifier.h"

#include <QObject>

#include <atomic>
#include <memory>
#include <optional>

namespace pictor {

// What a target remembers of the load it waits for, per image slot: the request identifier and
// the running download. A child object of the target, so it goes away with it. The identifier is
// shared with the data checks of the load, which may ask from another thread.
class ImageTaskState : public QObject {
    Q_OBJECT
public:
    // The state of the slot ("image", "alternateImage", ...), made on first use.
    static ImageTaskState* of(QObject* target, const QString& slot);

    std::optional<SourceIdentifier::Value> identifier() const;
    void setIdentifier(std::optional<SourceIdentifier::Value> identifier);
    // True while the target waits for that request; safe from any thread and after the target is gone.
    std::function<bool()> isCurrentCheck(SourceIdentifier::Value identifier) const;

    std::shared_ptr<DownloadTask> task() const { return task_; }
    void setTask(std::shared_ptr<DownloadTask> task) { task_ = std::move(task); }
    // Cancels the stored download, if any; the load then completes with the cancellation.
    void cancelTask() const;

private:
    explicit ImageTaskState(QObject* target) : QObject(target) {}

    // 0 stands for none.
    std::shared_ptr<std::atomic<SourceIdentifier::Value>> identifier_ = std::make_shared<std::atomic<SourceIdentifier::Value>>(0);
    std::shared_ptr<DownloadTask> task_;
};

} // namespace pictor
