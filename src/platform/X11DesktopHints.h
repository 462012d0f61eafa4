#pragma once

class QByteArray;
class QWindow;

// Marks a top-level window as the desktop's own background for EWMH window managers: of type
// desktop, below every other window, on every workspace, left out of task bars and pagers.
class X11DesktopHints {
public:
    // Call while the window is created but not yet mapped: window managers read these
    // properties when they take a window on. Does nothing unless Qt runs on X11.
    static void apply(QWindow* window);

    // Without a window manager nothing keeps a desktop window below the others: a newly mapped
    // one would cover every window. Lowers the window to the bottom of the stack then; does
    // nothing under a window manager, which stacks desktop windows itself.
    static void keepAtBottom(QWindow* window);
    // Whether a native event (QWidget::nativeEvent) says the window now has a sibling below it.
    static bool isRaisedEvent(const QByteArray& eventType, void* message);
};
