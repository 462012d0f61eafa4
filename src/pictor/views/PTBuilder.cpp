#include "pictor/views/PTBuilder.h"

#include "pictor/views/ImagePlaceholder.h"
#include "pictor/retrieval/PictorManager.h"
#include "pictor/views/WidgetImageLoading.h"

#include <QAbstractButton>
#include <QAction>

namespace pictor {

struct PTBuilder::Start {
    std::shared_ptr<Placeholder> placeholder;
    std::optional<Image> imagePlaceholder;
    PictorParsedOptionsInfo options;
    ImageSetting::ProgressBlock progress;
    ImageSetting::Completion completion;
};

std::shared_ptr<PTBuilder> PTBuilder::create(std::optional<Source> source)
{
    return std::shared_ptr<PTBuilder>(new PTBuilder(std::move(source)));
}

PTBuilder::PTBuilder(std::optional<Source> source)
    : source_(std::move(source)), options_(PictorManager::shared()->parsedOptions(std::nullopt))
{
}

PictorParsedOptionsInfo PTBuilder::options() const
{
    std::lock_guard lock(mutex_);
    return options_;
}

void PTBuilder::setOptions(PictorParsedOptionsInfo options)
{
    std::lock_guard lock(mutex_);
    options_ = std::move(options);
}

PTBuilder& PTBuilder::placeholder(std::optional<Image> image)
{
    return placeholder(image ? std::make_shared<ImagePlaceholder>(*image) : std::shared_ptr<Placeholder>());
}

PTBuilder& PTBuilder::placeholder(std::shared_ptr<Placeholder> placeholder)
{
    std::lock_guard lock(mutex_);
    placeholder_ = std::move(placeholder);
    return *this;
}

PTBuilder& PTBuilder::keepCurrentImageWhileLoading(bool on)
{
    PictorParsedOptionsInfo changed = options();
    changed.keepCurrentImageWhileLoading = on;
    setOptions(std::move(changed));
    return *this;
}

PTBuilder& PTBuilder::onlyLoadFirstFrame(bool on)
{
    PictorParsedOptionsInfo changed = options();
    changed.onlyLoadFirstFrame = on;
    setOptions(std::move(changed));
    return *this;
}

PTBuilder::Start PTBuilder::start()
{
    Start start;
    {
        std::lock_guard lock(mutex_);
        start.placeholder = placeholder_;
        start.options = options_;
    }
    if (start.placeholder)
        start.imagePlaceholder = start.placeholder->image();
    // The load holds the delegates: they outlive the builder until it reports.
    if (onProgress_->isSet())
        start.progress = [progress = onProgress_](qint64 received, qint64 expected) { progress->call(received, expected); };
    start.completion = [success = onSuccess_, failure = onFailure_](ImageSetting::SettingResult result) {
        if (result.isSuccess())
            success->call(result.value());
        else
            failure->call(result.error());
    };
    return start;
}

std::shared_ptr<DownloadTask> PTBuilder::setTo(ImageView* view)
{
    Start s = start();
    return pt::setImage(view, source_, s.placeholder, s.options, std::move(s.progress), std::move(s.completion));
}

std::shared_ptr<DownloadTask> PTBuilder::setTo(QAbstractButton* button)
{
    Start s = start();
    return pt::setIconImage(button, false, source_, s.imagePlaceholder, s.options, std::move(s.progress), std::move(s.completion));
}

std::shared_ptr<DownloadTask> PTBuilder::setAlternativeTo(QAbstractButton* button)
{
    Start s = start();
    return pt::setIconImage(button, true, source_, s.imagePlaceholder, s.options, std::move(s.progress), std::move(s.completion));
}

std::shared_ptr<DownloadTask> PTBuilder::setTo(QAction* action)
{
    Start s = start();
    return pt::setIconImage(action, false, source_, s.imagePlaceholder, s.options, std::move(s.progress), std::move(s.completion));
}

std::shared_ptr<DownloadTask> PTBuilder::setTo(const TextAttachment& attachment)
{
    Start s = start();
    return pt::setImage(attachment, source_, s.imagePlaceholder, s.options, std::move(s.progress), std::move(s.completion));
}

} // namespace pictor
