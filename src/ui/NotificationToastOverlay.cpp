#include "ui/NotificationToastOverlay.h"

#include "state/NotificationManager.h"
#include "ui/NotificationToast.h"

#include <QEvent>
#include <QWidget>

#include <algorithm>

NotificationToastOverlay::NotificationToastOverlay(NotificationManager& manager, QWidget* host)
    : QObject(host), manager_(manager), host_(host), toast_(new NotificationToast(host))
{
    NotificationToast* toast = toast_;
    // The title is part of the state but the card does not show it.
    connect(&manager_, &NotificationManager::messageChanged, toast, [this] { toast_->setMessage(manager_.message()); });
    connect(&manager_, &NotificationManager::thumbnailImageChanged, toast,
        [this] { toast_->setThumbnail(manager_.thumbnailImage()); });
    connect(&manager_, &NotificationManager::progressChanged, toast, [this] { toast_->setProgress(manager_.progress()); });
    connect(&manager_, &NotificationManager::showProgressChanged, toast,
        [this] { toast_->setShowProgress(manager_.showProgress()); });
    connect(&manager_, &NotificationManager::isPresentedChanged, toast,
        [this] { toast_->setPresented(manager_.isPresented()); });
    connect(&manager_, &NotificationManager::cancellableChanged, toast,
        [this] { toast_->setCancellable(manager_.isCancellable()); });
    connect(toast, &NotificationToast::cancelRequested, &manager_, &NotificationManager::cancel);
    connect(toast, &NotificationToast::placementChanged, this, &NotificationToastOverlay::place);

    toast->setMessage(manager_.message());
    toast->setThumbnail(manager_.thumbnailImage());
    toast->setProgress(manager_.progress());
    toast->setShowProgress(manager_.showProgress());
    toast->setCancellable(manager_.isCancellable());
    toast->setPresented(manager_.isPresented());
    toast->raise();
    host->installEventFilter(this);
    place();
}

NotificationToastOverlay::~NotificationToastOverlay() { delete toast_; }

QRect NotificationToastOverlay::restingGeometry() const
{
    const int width = std::clamp(host_->width() - kTrailing, NotificationToast::kMinWidth, NotificationToast::kMaxWidth);
    const int height = toast_->heightForWidth(width);
    return {host_->width() - kTrailing - width, host_->height() - kBottom - height, width, height};
}

bool NotificationToastOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == host_ && event->type() == QEvent::Resize)
        place();
    return QObject::eventFilter(watched, event);
}

void NotificationToastOverlay::place()
{
    if (toast_)
        toast_->setGeometry(restingGeometry().translated(qRound(toast_->slideOffset()), 0));
}
