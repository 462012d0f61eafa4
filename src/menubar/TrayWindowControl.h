#pragma once

#include <functional>

// What the tray may do to the application's windows. The shell above the tray owns the windows
// and fills this in when it makes the tray, so the tray never reaches into it. An empty member
// leaves the command undone (no window shows, none closes, none counts as shown).
struct TrayWindowControl {
    // Brings the main window back, making one when none is left.
    std::function<void()> showMainWindow;
    // Closes every main window and hides what stays; the desktop video and the tray icon remain.
    std::function<void()> closeAllWindows;
    // A main window is on screen, not minimised, so the in-app toast can be seen.
    std::function<bool()> showsMainWindow;
};
