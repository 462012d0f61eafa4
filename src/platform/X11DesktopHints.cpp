#include "platform/X11DesktopHints.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
enum Atom { WindowType, WindowTypeDesktop, State, StateBelow, StateSticky, StateSkipTaskbar, StateSkipPager, Desktop, AtomCount };

constexpr std::array<const char*, AtomCount> kAtomNames = {
    "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_STATE",       "_NET_WM_STATE_BELOW",
    "_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_DESKTOP",
};

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
        const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(connection, cookies[i], nullptr), &std::free);
        atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    return atoms;
}
} // namespace

void X11DesktopHints::apply(QWindow* window)
{
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
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
