#pragma once

#include "pictor/networking/DownloadTask.h"
#include "pictor/views/PTOptionSetter.h"
#include "pictor/views/Placeholder.h"
#include "pictor/retrieval/Source.h"
#include "pictor/views/TextAttachment.h"

#include <QByteArray>

#include <memory>
#include <mutex>
#include <optional>

class QAbstractButton;
class QAction;

namespace pictor {

class ImageView;

// The chained way to load an image into a widget: made by PT::url and its siblings with the
// shared manager's default options as they are then, configured with the option setters and a
// placeholder, and started with setTo (again and again if wanted: each start copies the settings).
// Each start reports once to onSuccess or onFailure, on the GUI thread, after the target changed.
class PTBuilder : public PTOptionSetter<PTBuilder>, public std::enable_shared_from_this<PTBuilder> {
public:
    static std::shared_ptr<PTBuilder> create(std::optional<Source> source);

    const std::optional<Source>& source() const { return source_; }
    PictorParsedOptionsInfo options() const;
    void setOptions(PictorParsedOptionsInfo options);
    FailureDelegate& onFailureDelegate() { return *onFailure_; }
    SuccessDelegate& onSuccessDelegate() { return *onSuccess_; }
    ProgressDelegate& onProgressDelegate() { return *onProgress_; }

    // Image and icon targets use only an image placeholder; the image view takes any.
    PTBuilder& placeholder(std::optional<Image> image);
    PTBuilder& placeholder(std::shared_ptr<Placeholder> placeholder);
    PTBuilder& keepCurrentImageWhileLoading(bool on = true);
    PTBuilder& onlyLoadFirstFrame(bool on = true);
    // Loads always start with setTo; kept for callers written that way.
    PTBuilder& loadImmediately(bool = true) { return *this; }

    // The download of the load, null when none was started.
    std::shared_ptr<DownloadTask> setTo(ImageView* view);
    std::shared_ptr<DownloadTask> setTo(QAbstractButton* button);
    std::shared_ptr<DownloadTask> setAlternativeTo(QAbstractButton* button);
    std::shared_ptr<DownloadTask> setTo(QAction* action);
    std::shared_ptr<DownloadTask> setTo(const TextAttachment& attachment);

private:
    explicit PTBuilder(std::optional<Source> source);
    struct Start;
    Start start();

    const std::optional<Source> source_;
    mutable std::mutex mutex_;
    std::shared_ptr<Placeholder> placeholder_;
    PictorParsedOptionsInfo options_;
    // Shared with the loads, which may outlive the builder.
    std::shared_ptr<FailureDelegate> onFailure_ = std::make_shared<FailureDelegate>();
    std::shared_ptr<SuccessDelegate> onSuccess_ = std::make_shared<SuccessDelegate>();
    std::shared_ptr<ProgressDelegate> onProgress_ = std::make_shared<ProgressDelegate>();
};

} // namespace pictor
