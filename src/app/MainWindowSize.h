#pragma once

#include <QSize>

#include <optional>

struct ScreenInfo;

// The size of the main window, from the main display's usable height H (its height minus
// panels): height min(0.8 × H, 1000), width 1.6 × that height; 1600 × 1000 without a display.
class MainWindowSize {
public:
    static QSize forScreen(const std::optional<ScreenInfo>& mainScreen);
    // From the shared screens, afresh on every call.
    static QSize current();
};
