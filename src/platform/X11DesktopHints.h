#pragma once

class QWindow;

// Marks a top-level window as the desktop's own background for EWMH window managers: of type
// desktop, below every other window, on every workspace, left out of task bars and pagers.
class X11DesktopHints {
public:
    // Call while the window is created but not yet mapped: window managers read these
    // properties when they take a window on. Does nothing unless Qt runs on X11.
    static void apply(QWindow* window);
};
