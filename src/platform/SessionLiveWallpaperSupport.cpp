#include "platform/SessionLiveWallpaperSupport.h"

#include "foundation/Log.h"
#include "platform/LayerShellProbe.h"

#include <QGuiApplication>

bool SessionLiveWallpaperSupport::isAvailable() const
{
    // A compositor keeps its globals for the session: one look is enough.
    if (available_)
        return *available_;
    available_ = true;
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        const std::optional<bool> offered = LayerShellProbe::offered();
        if (!offered)
            logLine(QStringLiteral("⚠️"), QStringLiteral("HomeScreenWallpaperEngine"),
                QStringLiteral("The Wayland compositor did not answer: no live wallpaper can be drawn"));
        available_ = offered.value_or(false);
    }
    return *available_;
}
