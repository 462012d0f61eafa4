#include "platform/X11WindowVisibility.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

X11WindowVisibility* X11WindowVisibility::watch(QWindow* window, QObject* parent)
{
    if (!window || !window->handle() || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return nullptr;
    // Adds visibility changes to the events Qt asked for on this window.
    const auto id = xcb_window_t(window->winId());
    const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id), nullptr), &std::free);
    if (!attributes)
        return nullptr;
    const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
    xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
    return new X11WindowVisibility(id, parent);
}

X11WindowVisibility::X11WindowVisibility(quint32 window, QObject* parent) : QObject(parent), window_(window)
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11WindowVisibility::~X11WindowVisibility()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}

bool X11WindowVisibility::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_VISIBILITY_NOTIFY)
        return false;
    const auto* visibility = static_cast<const xcb_visibility_notify_event_t*>(message);
    if (visibility->window != window_)
        return false;
    const bool obscured = visibility->state == XCB_VISIBILITY_FULLY_OBSCURED;
    if (obscured != obscured_) {
        obscured_ = obscured;
        Q_EMIT fullyObscuredChanged(obscured_);
    }
    // Qt has nothing to do with it either way.
    return false;
}
