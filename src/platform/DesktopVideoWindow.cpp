#include "platform/DesktopVideoWindow.h"

#include "platform/VideoSurface.h"
#include "platform/WaylandConnection.h"
#include "platform/WaylandDesktopBackground.h"
#include "platform/X11DesktopHints.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace {
// The connector name of the screen that has this geometry (Qt names Wayland screens as the
// compositor names their outputs).
QString connectorAt(const QRect& geometry)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    const auto exact = std::find_if(screens.cbegin(), screens.cend(), [&geometry](const QScreen* screen) { return screen->geometry() == geometry; });
    if (exact != screens.cend())
        return (*exact)->name();
    const QScreen* under = QGuiApplication::screenAt(geometry.center());
    return under ? under->name() : QString();
}
} // namespace

DesktopVideoWindow::DesktopVideoWindow()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint
                           | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
      surface_(new VideoSurface(this))
{
    // Clicks pass through (Qt gives the window an empty input shape); it never takes focus.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    // The video fills the window, and no other widget of the window draws over it.
    surface_->setPresentsDirectly(true);

    WaylandConnection* wayland = WaylandConnection::shared();
    if (!wayland)
        return;
    // Shown as far as the widgets know (so the player runs), but never mapped by Qt; never
    // painted either, so Qt keeps no display-sized buffer for it.
    setAttribute(Qt::WA_DontShowOnScreen);
    setUpdatesEnabled(false);
    background_ = new WaylandDesktopBackground(*wayland, this);
    surface_->setFramePresenter(background_);
    surface_->setCovered(true);
    surface_->setPixelRatio(background_->scale());
    connect(background_, &WaylandDesktopBackground::seenChanged, surface_, [this](bool seen) { surface_->setCovered(!seen); });
    connect(background_, &WaylandDesktopBackground::scaleChanged, surface_, [this](int scale) { surface_->setPixelRatio(scale); });
}

DesktopVideoWindow::~DesktopVideoWindow() = default;

void DesktopVideoWindow::setScreenGeometry(const QRect& geometry)
{
    setGeometry(geometry);
    if (background_)
        background_->setOutputName(connectorAt(geometry));
}

void DesktopVideoWindow::showEvent(QShowEvent* event)
{
    // Sent before Qt maps the window, which is when the window manager reads the hints.
    X11DesktopHints::apply(windowHandle());
    // An unmapped window keeps its place in the stack when mapped: lowered now, it maps at the
    // bottom instead of over the windows already on screen.
    X11DesktopHints::keepAtBottom(windowHandle());
    if (background_)
        background_->setShown(true);
    QWidget::showEvent(event);
}

void DesktopVideoWindow::hideEvent(QHideEvent* event)
{
    if (background_)
        background_->setShown(false);
    QWidget::hideEvent(event);
}

bool DesktopVideoWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result)
{
    if (X11DesktopHints::isRaisedEvent(eventType, message))
        X11DesktopHints::keepAtBottom(windowHandle());
    return QWidget::nativeEvent(eventType, message, result);
}

void DesktopVideoWindow::resizeEvent(QResizeEvent* event)
{
    surface_->setGeometry(rect());
    QWidget::resizeEvent(event);
}
