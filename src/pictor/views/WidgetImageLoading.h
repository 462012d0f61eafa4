#pragma once

#include "pictor/views/ImageSetting.h"
#include "pictor/retrieval/PictorOptionsInfoItem.h"
#include "pictor/views/TextAttachment.h"

#include <QList>

class QAbstractButton;
class QAction;

namespace pictor {

class ImageView;

// Loading images into widgets: an image view, a button's icon (its image, and its alternate image
// shown while checked), an action's icon (menus and tool bars) and an image of rich text. The
// caller's options follow the shared manager's default options. GUI thread.
namespace pt {

using OptionList = std::optional<QList<PictorOptionsInfoItem>>;

std::shared_ptr<DownloadTask> setImage(ImageView* view, const std::optional<Source>& source, std::shared_ptr<Placeholder> placeholder = nullptr,
                                       const OptionList& options = std::nullopt, ImageSetting::ProgressBlock progress = {},
                                       ImageSetting::Completion completion = {});
std::shared_ptr<DownloadTask> setImage(QAbstractButton* button, const std::optional<Source>& source,
                                       const std::optional<Image>& placeholder = std::nullopt, const OptionList& options = std::nullopt,
                                       ImageSetting::ProgressBlock progress = {}, ImageSetting::Completion completion = {});
std::shared_ptr<DownloadTask> setAlternateImage(QAbstractButton* button, const std::optional<Source>& source,
                                                const std::optional<Image>& placeholder = std::nullopt,
                                                const OptionList& options = std::nullopt, ImageSetting::ProgressBlock progress = {},
                                                ImageSetting::Completion completion = {});
std::shared_ptr<DownloadTask> setImage(QAction* action, const std::optional<Source>& source,
                                       const std::optional<Image>& placeholder = std::nullopt, const OptionList& options = std::nullopt,
                                       ImageSetting::ProgressBlock progress = {}, ImageSetting::Completion completion = {});
std::shared_ptr<DownloadTask> setImage(const TextAttachment& attachment, const std::optional<Source>& source,
                                       const std::optional<Image>& placeholder = std::nullopt, const OptionList& options = std::nullopt,
                                       ImageSetting::ProgressBlock progress = {}, ImageSetting::Completion completion = {});

// The same with options already parsed (the builder's).
std::shared_ptr<DownloadTask> setImage(ImageView* view, const std::optional<Source>& source, std::shared_ptr<Placeholder> placeholder,
                                       const PictorParsedOptionsInfo& options, ImageSetting::ProgressBlock progress,
                                       ImageSetting::Completion completion);
std::shared_ptr<DownloadTask> setIconImage(QObject* iconHolder, bool alternate, const std::optional<Source>& source,
                                           const std::optional<Image>& placeholder, const PictorParsedOptionsInfo& options,
                                           ImageSetting::ProgressBlock progress, ImageSetting::Completion completion);
std::shared_ptr<DownloadTask> setImage(const TextAttachment& attachment, const std::optional<Source>& source,
                                       const std::optional<Image>& placeholder, const PictorParsedOptionsInfo& options,
                                       ImageSetting::ProgressBlock progress, ImageSetting::Completion completion);

void cancelDownloadTask(ImageView* view);
void cancelImageDownloadTask(QAbstractButton* button);
void cancelAlternateImageDownloadTask(QAbstractButton* button);
void cancelDownloadTask(QAction* action);
void cancelDownloadTask(const TextAttachment& attachment);

} // namespace pt
} // namespace pictor
