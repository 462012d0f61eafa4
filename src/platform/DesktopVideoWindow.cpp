#include "platform/DesktopVideoWindow.h"

#include "platform/VideoSurface.h"
#include "platform/X11DesktopHints.h"

DesktopVideoWindow::DesktopVideoWindow()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint
                           | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
      surface_(new VideoSurface(this))
{
    // Clicks pass through (Qt gives the window an empty input shape); it never takes focus.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
}

DesktopVideoWindow::~DesktopVideoWindow() = default;

void DesktopVideoWindow::setScreenGeometry(const QRect& geometry)
{
    setGeometry(geometry);
}

void DesktopVideoWindow::showEvent(QShowEvent* event)
{
    // Sent before Qt maps the window, which is when the window manager reads the hints.
    X11DesktopHints::apply(windowHandle());
    // An unmapped window keeps its place in the stack when mapped: lowered now, it maps at the
    // bottom instead of over the windows already on screen.
    X11DesktopHints::keepAtBottom(windowHandle());
    QWidget::showEvent(event);
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
