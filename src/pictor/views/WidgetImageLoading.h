#pragma once

#include "pictor/views/ImageSetting.h"
#include "pictor/retrieval/PictorOptionsInfoItem.h"
#include "pictor/views/TextAttachment.h"

#include <QList>

class QAbstractButton;
class QAction;
class QPersistentModelIndex;
class QStandardItem;
class QSystemTrayIcon;
class QTabWidget;

namespace pictor {

class ImageView;

// Loading images into widgets: an image view, a button's icon (its image, and its alternate image
// shown while checked), an action's icon (menus and tool bars), a tab's icon, a model cell's
// decoration, the system-tray icon and an image of rich text. The
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
// The icon of the tab at the index; the load follows that tab's page.
std::shared_ptr<DownloadTask> setTabImage(QTabWidget* tabs, int index, const std::optional<Source>& source,
                                          const std::optional<Image>& placeholder = std::nullopt, const OptionList& options = std::nullopt,
                                          ImageSetting::ProgressBlock progress = {}, ImageSetting::Completion completion = {});
// A cell's Qt::DecorationRole; a QStandardItem not yet in a model has no cell to load into.
std::shared_ptr<DownloadTask> setImage(const QPersistentModelIndex& cell, const std::optional<Source>& source,
                                       const std::optional<Image>& placeholder = std::nullopt, const OptionList& options = std::nullopt,
                                       ImageSetting::ProgressBlock progress = {}, ImageSetting::Completion completion = {});
std::shared_ptr<DownloadTask> setImage(QStandardItem* item, const std::optional<Source>& source,
                                       const std::optional<Image>& placeholder = std::nullopt, const OptionList& options = std::nullopt,
                                       ImageSetting::ProgressBlock progress = {}, ImageSetting::Completion completion = {});
std::shared_ptr<DownloadTask> setImage(QSystemTrayIcon* trayIcon, const std::optional<Source>& source,
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
void cancelTabDownloadTask(QTabWidget* tabs, int index);
void cancelDownloadTask(const QPersistentModelIndex& cell);
void cancelDownloadTask(QSystemTrayIcon* trayIcon);

} // namespace pt
} // namespace pictor
