#pragma once

#include <QList>

class QWidget;

// Which of the application's top-level windows count as what. A main window sits at the normal
// level, can take the keyboard focus and is neither a dialog, a sheet, a popup nor a tool
// window; it is shown while visible or minimised. The desktop video windows sit below
// everything and never take the focus. GUI thread.
class AppWindows {
public:
    static bool isMainWindow(const QWidget* window);
    static bool isShownMainWindow(const QWidget* window);
    static bool isDesktopLevel(const QWidget* window);

    // Every main window, shown or not, in the application's order.
    static QList<QWidget*> mainWindows();
    static bool hasShownMainWindow();
    // Hides every visible window at the normal level; the desktop video stays.
    static void orderOutNormalWindows();
};
