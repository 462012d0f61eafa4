#pragma once

#include "pictor/networking/DownloadTask.h"
#include "pictor/retrieval/SourceIdentifier.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace pictor {

// What one image slot remembers of the load it waits for: the request identifier and the running
// download. The identifier is shared with the data checks of the load, which may ask from another
// thread. Held by the object's ImageTaskStates; GUI thread.
class ImageTaskState {
public:
    std::optional<SourceIdentifier::Value> identifier() const;
    void setIdentifier(std::optional<SourceIdentifier::Value> identifier);
    // True while the slot waits for that request; safe from any thread and after the slot is gone.
    std::function<bool()> isCurrentCheck(SourceIdentifier::Value identifier) const;

    std::shared_ptr<DownloadTask> task() const { return task_; }
    void setTask(std::shared_ptr<DownloadTask> task) { task_ = std::move(task); }
    // Cancels the stored download, if any; the load then completes with the cancellation.
    void cancelTask() const;

    // Waits for nothing and holds no download: the slot may be forgotten.
    bool isIdle() const { return !identifier() && !task_; }

private:
    // 0 stands for none.
    std::shared_ptr<std::atomic<SourceIdentifier::Value>> identifier_ = std::make_shared<std::atomic<SourceIdentifier::Value>>(0);
    std::shared_ptr<DownloadTask> task_;
};

} // namespace pictor
