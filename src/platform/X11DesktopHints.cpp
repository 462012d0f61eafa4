#include "platform/X11DesktopHints.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
enum Atom {
    WindowType, WindowTypeDesktop, State, StateBelow, StateSticky, StateSkipTaskbar, StateSkipPager, Desktop,
    SupportingWmCheck, AtomCount
};

constexpr std::array<const char*, AtomCount> kAtomNames = {
    "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_STATE",       "_NET_WM_STATE_BELOW",
    "_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_DESKTOP",
    "_NET_SUPPORTING_WM_CHECK",
};

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

// The desktop number that means "every desktop".
constexpr uint32_t kAllDesktops = 0xFFFFFFFF;

// All atoms in one round trip: every request goes out before the first reply is awaited.
std::array<xcb_atom_t, AtomCount> internAtoms(xcb_connection_t* connection)
{
    std::array<xcb_intern_atom_cookie_t, AtomCount> cookies{};
    for (int i = 0; i < AtomCount; ++i)
        cookies[i] = xcb_intern_atom(connection, 0, uint16_t(std::strlen(kAtomNames[i])), kAtomNames[i]);
    std::array<xcb_atom_t, AtomCount> atoms{};
    for (int i = 0; i < AtomCount; ++i) {
        const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookies[i], nullptr), &std::free);
        atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    return atoms;
}
xcb_connection_t* connectionFor(const QWindow* window)
{
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The EWMH check: a running window manager names its own window on the root window, and that
// window names itself. A stale property left by a window manager that quit names no window.
bool hasWindowManager(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t check)
{
    const auto checkWindowOf = [&](xcb_window_t window) -> xcb_window_t {
        const Reply<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, check, XCB_ATOM_WINDOW, 0, 1), nullptr),
            &std::free);
        if (!reply || reply->type != XCB_ATOM_WINDOW || xcb_get_property_value_length(reply.get()) < 4)
            return XCB_WINDOW_NONE;
        return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
    };
    const xcb_window_t manager = checkWindowOf(root);
    return manager != XCB_WINDOW_NONE && checkWindowOf(manager) == manager;
}
} // namespace

void X11DesktopHints::keepAtBottom(QWindow* window)
{
    xcb_connection_t* connection = connectionFor(window);
    if (!connection)
        return;
    const auto id = xcb_window_t(window->winId());
    const Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection, xcb_query_tree(connection, id), nullptr),
                                             &std::free);
    if (!tree || hasWindowManager(connection, tree->root, internAtoms(connection)[SupportingWmCheck]))
        return;
    const uint32_t below = XCB_STACK_MODE_BELOW;
    xcb_configure_window(connection, id, XCB_CONFIG_WINDOW_STACK_MODE, &below);
    xcb_flush(connection);
}

bool X11DesktopHints::isRaisedEvent(const QByteArray& eventType, void* message)
{
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_CONFIGURE_NOTIFY)
        return false;
    const auto* configure = static_cast<const xcb_configure_notify_event_t*>(message);
    // Only the window's own restacking: a parent's substructure event names another window.
    return configure->event == configure->window && configure->above_sibling != XCB_WINDOW_NONE;
}

void X11DesktopHints::apply(QWindow* window)
{
    xcb_connection_t* connection = connectionFor(window);
    if (!connection)
        return;

    const auto atoms = internAtoms(connection);
    const auto id = xcb_window_t(window->winId());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atoms[WindowType], XCB_ATOM_ATOM, 32, 1,
                        &atoms[WindowTypeDesktop]);
    // Qt adds its own states (below, from Qt::WindowStaysOnBottomHint) to these when it maps.
    const std::array<xcb_atom_t, 4> states = {atoms[StateBelow], atoms[StateSticky], atoms[StateSkipTaskbar],
                                              atoms[StateSkipPager]};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atoms[State], XCB_ATOM_ATOM, 32, states.size(),
                        states.data());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atoms[Desktop], XCB_ATOM_CARDINAL, 32, 1,
                        &kAllDesktops);
    xcb_flush(connection);
}
