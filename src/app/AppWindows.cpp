#include "app/AppWindows.h"

#include <QApplication>
#include <QWidget>

bool AppWindows::isMainWindow(const QWidget* window)
{
    if (!window->isWindow() || window->windowType() != Qt::Window)
        return false;
    const Qt::WindowFlags flags = window->windowFlags();
    if (flags.testFlag(Qt::WindowStaysOnTopHint) || flags.testFlag(Qt::WindowStaysOnBottomHint))
        return false;
    // The window manager never sees it: the tray icon's own window in an XEmbed tray.
    if (flags.testFlag(Qt::BypassWindowManagerHint))
        return false;
    return !flags.testFlag(Qt::WindowDoesNotAcceptFocus) && !window->testAttribute(Qt::WA_X11DoNotAcceptFocus);
}

bool AppWindows::isShownMainWindow(const QWidget* window)
{
    return isMainWindow(window) && (window->isVisible() || window->isMinimized());
}

QList<QWidget*> AppWindows::mainWindows()
{
    QList<QWidget*> windows;
    const QWidgetList topLevel = QApplication::topLevelWidgets();
    for (QWidget* window : topLevel)
        if (isMainWindow(window))
            windows.append(window);
    return windows;
}

bool AppWindows::hasShownMainWindow()
{
    const QWidgetList topLevel = QApplication::topLevelWidgets();
    return std::any_of(topLevel.begin(), topLevel.end(), [](const QWidget* window) { return isShownMainWindow(window); });
}

bool AppWindows::hasMainWindowOnScreen()
{
    const QWidgetList topLevel = QApplication::topLevelWidgets();
    return std::any_of(topLevel.begin(), topLevel.end(),
        [](const QWidget* window) { return isMainWindow(window) && window->isVisible() && !window->isMinimized(); });
}

void AppWindows::orderOutNormalWindows()
{
    const QWidgetList topLevel = QApplication::topLevelWidgets();
    for (QWidget* window : topLevel)
        if (isMainWindow(window) && window->isVisible())
            window->hide();
}
