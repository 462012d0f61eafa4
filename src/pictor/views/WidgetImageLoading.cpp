#include "pictor/views/WidgetImageLoading.h"

#include "pictor/views/IconImageTarget.h"
#include "pictor/views/ImagePlaceholder.h"
#include "pictor/views/ImageViewTarget.h"
#include "pictor/views/ModelItemImageTarget.h"
#include "pictor/views/TabImageTarget.h"
#include "pictor/retrieval/PictorManager.h"
#include "pictor/views/TextAttachmentTarget.h"

#include <QAbstractButton>
#include <QAction>
#include <QStandardItem>
#include <QSystemTrayIcon>
#include <QTabWidget>

namespace pictor::pt {

namespace {

PictorParsedOptionsInfo parsed(const OptionList& options) { return PictorManager::shared()->parsedOptions(options); }

std::shared_ptr<Placeholder> imagePlaceholder(const std::optional<Image>& image)
{
    return image ? std::make_shared<ImagePlaceholder>(*image) : nullptr;
}

ImageTaskSlot attachmentSlot(const TextAttachment& attachment) { return TextAttachmentTarget(attachment).slot(); }

} // namespace

std::shared_ptr<DownloadTask> setImage(ImageView* view, const std::optional<Source>& source, std::shared_ptr<Placeholder> placeholder,
                                       const PictorParsedOptionsInfo& options, ImageSetting::ProgressBlock progress,
                                       ImageSetting::Completion completion)
{
    return ImageSetting::setImage(std::make_shared<ImageViewTarget>(view), source, placeholder, options, std::move(progress),
                                  std::move(completion));
}

std::shared_ptr<DownloadTask> setImage(ImageView* view, const std::optional<Source>& source, std::shared_ptr<Placeholder> placeholder,
                                       const OptionList& options, ImageSetting::ProgressBlock progress, ImageSetting::Completion completion)
{
    return setImage(view, source, std::move(placeholder), parsed(options), std::move(progress), std::move(completion));
}

std::shared_ptr<DownloadTask> setIconImage(QObject* iconHolder, bool alternate, const std::optional<Source>& source,
                                           const std::optional<Image>& placeholder, const PictorParsedOptionsInfo& options,
                                           ImageSetting::ProgressBlock progress, ImageSetting::Completion completion)
{
    return ImageSetting::setImage(std::make_shared<IconImageTarget>(iconHolder, alternate ? QIcon::On : QIcon::Off), source,
                                  imagePlaceholder(placeholder), options, std::move(progress), std::move(completion));
}

std::shared_ptr<DownloadTask> setImage(QAbstractButton* button, const std::optional<Source>& source, const std::optional<Image>& placeholder,
                                       const OptionList& options, ImageSetting::ProgressBlock progress, ImageSetting::Completion completion)
{
    return setIconImage(button, false, source, placeholder, parsed(options), std::move(progress), std::move(completion));
}

std::shared_ptr<DownloadTask> setAlternateImage(QAbstractButton* button, const std::optional<Source>& source,
                                                const std::optional<Image>& placeholder, const OptionList& options,
                                                ImageSetting::ProgressBlock progress, ImageSetting::Completion completion)
{
    return setIconImage(button, true, source, placeholder, parsed(options), std::move(progress), std::move(completion));
}

std::shared_ptr<DownloadTask> setImage(QAction* action, const std::optional<Source>& source, const std::optional<Image>& placeholder,
                                       const OptionList& options, ImageSetting::ProgressBlock progress, ImageSetting::Completion completion)
{
    return setIconImage(action, false, source, placeholder, parsed(options), std::move(progress), std::move(completion));
}

std::shared_ptr<DownloadTask> setImage(const TextAttachment& attachment, const std::optional<Source>& source,
                                       const std::optional<Image>& placeholder, const PictorParsedOptionsInfo& options,
                                       ImageSetting::ProgressBlock progress, ImageSetting::Completion completion)
{
    return ImageSetting::setImage(std::make_shared<TextAttachmentTarget>(attachment), source, imagePlaceholder(placeholder), options,
                                  std::move(progress), std::move(completion));
}

std::shared_ptr<DownloadTask> setImage(const TextAttachment& attachment, const std::optional<Source>& source,
                                       const std::optional<Image>& placeholder, const OptionList& options,
                                       ImageSetting::ProgressBlock progress, ImageSetting::Completion completion)
{
    return setImage(attachment, source, placeholder, parsed(options), std::move(progress), std::move(completion));
}

std::shared_ptr<DownloadTask> setTabImage(QTabWidget* tabs, int index, const std::optional<Source>& source,
                                          const std::optional<Image>& placeholder, const OptionList& options,
                                          ImageSetting::ProgressBlock progress, ImageSetting::Completion completion)
{
    return ImageSetting::setImage(std::make_shared<TabImageTarget>(tabs, tabs ? tabs->widget(index) : nullptr), source,
                                  imagePlaceholder(placeholder), parsed(options), std::move(progress), std::move(completion));
}

std::shared_ptr<DownloadTask> setImage(const QPersistentModelIndex& cell, const std::optional<Source>& source,
                                       const std::optional<Image>& placeholder, const OptionList& options,
                                       ImageSetting::ProgressBlock progress, ImageSetting::Completion completion)
{
    return ImageSetting::setImage(std::make_shared<ModelItemImageTarget>(cell), source, imagePlaceholder(placeholder), parsed(options),
                                  std::move(progress), std::move(completion));
}

std::shared_ptr<DownloadTask> setImage(QStandardItem* item, const std::optional<Source>& source, const std::optional<Image>& placeholder,
                                       const OptionList& options, ImageSetting::ProgressBlock progress, ImageSetting::Completion completion)
{
    return setImage(QPersistentModelIndex(item ? item->index() : QModelIndex()), source, placeholder, options, std::move(progress),
                    std::move(completion));
}

std::shared_ptr<DownloadTask> setImage(QSystemTrayIcon* trayIcon, const std::optional<Source>& source, const std::optional<Image>& placeholder,
                                       const OptionList& options, ImageSetting::ProgressBlock progress, ImageSetting::Completion completion)
{
    return setIconImage(trayIcon, false, source, placeholder, parsed(options), std::move(progress), std::move(completion));
}

void cancelDownloadTask(ImageView* view) { ImageSetting::cancelDownloadTask(view); }

void cancelImageDownloadTask(QAbstractButton* button) { ImageSetting::cancelDownloadTask(button); }

void cancelAlternateImageDownloadTask(QAbstractButton* button)
{
    ImageSetting::cancelDownloadTask(button, ImageTaskSlot::named(QStringLiteral("alternateImage")));
}

void cancelDownloadTask(QAction* action) { ImageSetting::cancelDownloadTask(action); }

void cancelDownloadTask(const TextAttachment& attachment) { ImageSetting::cancelDownloadTask(attachment.document, attachmentSlot(attachment)); }

void cancelTabDownloadTask(QTabWidget* tabs, int index)
{
    if (QWidget* page = tabs ? tabs->widget(index) : nullptr)
        ImageSetting::cancelDownloadTask(page, ImageTaskSlot::named(QStringLiteral("tabIcon")));
}

void cancelDownloadTask(const QPersistentModelIndex& cell)
{
    if (cell.isValid())
        ImageSetting::cancelDownloadTask(const_cast<QAbstractItemModel*>(cell.model()), ImageTaskSlot::cell(cell));
}

void cancelDownloadTask(QSystemTrayIcon* trayIcon) { ImageSetting::cancelDownloadTask(trayIcon); }

} // namespace pictor::pt
