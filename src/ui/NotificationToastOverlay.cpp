#include "ui/NotificationToastOverlay.h"

#include "state/NotificationManager.h"
#include "ui/NotificationToast.h"

#include <QEvent>
#include <QWidget>

#include <algorithm>

namespace {
// The part of `widget` that its ancestors below `host` let show, in the host.
QRect shownIn(const QWidget* host, const QWidget* widget)
{
    QRect shown(widget->mapTo(host, QPoint()), widget->size());
    for (const QWidget* ancestor = widget->parentWidget(); ancestor != host; ancestor = ancestor->parentWidget())
        shown &= QRect(ancestor->mapTo(host, QPoint()), ancestor->size());
    return shown & host->rect();
}
} // namespace

// A page marks its controls when it is made, before it lies in the window that holds an
// overlay: each time the control shows, the overlays above it learn of it.
class NotificationToastOverlay::ClearanceMark : public QObject {
public:
    explicit ClearanceMark(QWidget* control) : QObject(control), control_(control) { control->installEventFilter(this); }

    void announce() const
    {
        for (QWidget* widget = control_->parentWidget(); widget; widget = widget->parentWidget())
            for (NotificationToastOverlay* overlay : widget->findChildren<NotificationToastOverlay*>(Qt::FindDirectChildrenOnly))
                overlay->follow(control_);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            announce();
        return false;
    }

private:
    QWidget* control_;
};

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

NotificationToast* NotificationToastOverlay::toast() const { return toast_; }

void NotificationToastOverlay::keepClearOf(QWidget* control)
{
    const auto* mark = new ClearanceMark(control);
    if (control->isVisible())
        mark->announce();
}

void NotificationToastOverlay::follow(QWidget* control)
{
    if (!host_->isAncestorOf(control))
        return;
    if (!followed_.contains(control))
        followed_.append(control);
    // A move of the control or of anything holding it (a scroll, a page pushed over it, a
    // resize) can bring it under the card.
    for (QWidget* widget = control; widget != host_; widget = widget->parentWidget())
        widget->installEventFilter(this);
    place();
}

QList<QRect> NotificationToastOverlay::keptClear() const
{
    QList<QRect> shown;
    for (const QPointer<QWidget>& control : followed_)
        if (control && host_->isAncestorOf(control) && control->isVisibleTo(host_))
            if (const QRect part = shownIn(host_, control); !part.isEmpty())
                shown.append(part);
    return shown;
}

QRect NotificationToastOverlay::restingGeometry() const
{
    const int width = std::clamp(host_->width() - kTrailing, NotificationToast::kMinWidth, NotificationToast::kMaxWidth);
    const int height = toast_->heightForWidth(width);
    QRect card(host_->width() - kTrailing - width, host_->height() - kBottom - height, width, height);
    // The card only rises, so each control lifts it once at most.
    const QList<QRect> controls = keptClear();
    for (bool lifted = true; lifted;) {
        lifted = false;
        for (const QRect& control : controls)
            if (card.intersects(control.adjusted(0, -kClearance, 0, 0))) {
                card.moveBottom(control.top() - kClearance - 1);
                lifted = true;
            }
    }
    // Where nothing leaves it room, it stays whole in the host.
    if (card.top() < 0)
        card.moveTop(0);
    return card;
}

bool NotificationToastOverlay::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Resize:
        place();
        break;
    case QEvent::Move:
    case QEvent::Show:
    case QEvent::Hide:
        // Only the host's size matters; the followed controls and what holds them matter whole.
        if (watched != host_)
            place();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void NotificationToastOverlay::place()
{
    followed_.removeIf([](const QPointer<QWidget>& control) { return control.isNull(); });
    if (toast_)
        toast_->setGeometry(restingGeometry().translated(qRound(toast_->slideOffset()), 0));
}
