#include "app/MainWindowSize.h"

#include "platform/ScreenInfo.h"
#include "platform/Screens.h"

#include <algorithm>
#include <cmath>

QSize MainWindowSize::forScreen(const std::optional<ScreenInfo>& mainScreen)
{
    if (!mainScreen)
        return {1600, 1000};
    const double height = std::min(0.8 * mainScreen->visibleGeometry.height(), 1000.0);
    const double width = std::min(1.6 * height, 1600.0);
    return {int(std::lround(width)), int(std::lround(height))};
}

QSize MainWindowSize::current() { return forScreen(Screens::shared().mainScreen()); }
