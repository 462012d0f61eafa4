#pragma once

#include <QList>

class QWidget;

// Which of the application's top-level windows count as what. A main window sits at the normal
// level, is managed by the window manager, can take the keyboard focus and is neither a dialog,
// a sheet, a popup, a tool window nor the tray icon's window; it is shown while visible or
// minimised. The desktop video windows sit below
// everything and never take the focus. GUI thread.
class AppWindows {
public:
    static bool isMainWindow(const QWidget* window);
    static bool isShownMainWindow(const QWidget* window);

    // Every main window, shown or not, in the application's order.
    static QList<QWidget*> mainWindows();
    static bool hasShownMainWindow();
    // A main window is visible and not minimised: what it shows inside, a toast, can be seen.
    static bool hasMainWindowOnScreen();
    // Hides every visible main window; the desktop video and the tray icon stay.
    static void orderOutNormalWindows();
};
