#include "ui/PopoverHost.h"

#include "ui/GlassBackground.h"
#include "ui/Theme.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

PopoverHost::PopoverHost(QWidget* owner) : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint), owner_(owner)
{
    setPalette(Theme::palette());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void PopoverHost::setContent(QWidget* content)
{
    if (content_ == content)
        return;
    delete content_;
    content_ = content;
    if (content_)
        layout()->addWidget(content_);
}

QPoint PopoverHost::placement(QRect anchor, QSize size, QRect available)
{
    const int left = anchor.x() + (anchor.width() - size.width()) / 2;
    const bool roomBelow = anchor.bottom() + kGap + size.height() <= available.bottom();
    const bool roomAbove = anchor.top() - kGap - size.height() >= available.top();
    const int top = roomBelow || !roomAbove ? anchor.bottom() + 1 + kGap : anchor.top() - kGap - size.height();
    if (available.isEmpty())
        return QPoint(left, top);
    // Kept on the screen, the leading edge winning when the popup is wider than the screen.
    const int x = std::max(available.left(), std::min(left, available.right() + 1 - size.width()));
    const int y = std::max(available.top(), std::min(top, available.bottom() + 1 - size.height()));
    return QPoint(x, y);
}

void PopoverHost::open(QWidget* anchor)
{
    if (!anchor)
        return;
    afterClose_ = nullptr;
    adjustSize();
    const QRect anchorRect(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
    move(placement(anchorRect, size(), availableArea(anchor)));
    show();
    if (content_)
        content_->setFocus(Qt::PopupFocusReason);
}

QRect PopoverHost::availableArea(const QWidget* anchor)
{
    const QScreen* screen = anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
    const QRect onScreen = screen ? screen->availableGeometry() : QRect();
    // Inside the anchor's window as well: a popover hanging past the window's edge reads as
    // cut off, and on a window at the screen's foot it would open downward out of sight.
    const QRect inWindow = anchor->window()->geometry();
    const QRect both = onScreen.isEmpty() ? inWindow : onScreen.intersected(inWindow);
    return both.isEmpty() ? onScreen : both;
}

void PopoverHost::closeThen(std::function<void()> then)
{
    afterClose_ = std::move(then);
    if (isVisible())
        close();
    else
        runAfterClose();
}

void PopoverHost::paintEvent(QPaintEvent*)
{
    // A popup is a window of its own, opaque without a compositor: the floating controls' glass
    // over the window colour.
    QPainter painter(this);
    painter.fillRect(rect(), Theme::appBackgroundColor());
    GlassBackground::paint(painter, QRectF(rect()), kCornerRadius);
}

void PopoverHost::hideEvent(QHideEvent*)
{
    Q_EMIT closed();
    runAfterClose();
}

void PopoverHost::runAfterClose()
{
    std::function<void()> then = std::exchange(afterClose_, nullptr);
    if (!then || !owner_)
        return;
    // Later: the popup releases its grab only after this event, and a dialog opened now would
    // find its clicks taken by it.
    QTimer::singleShot(0, owner_, std::move(then));
}
