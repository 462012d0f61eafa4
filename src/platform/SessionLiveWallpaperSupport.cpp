#include "platform/SessionLiveWallpaperSupport.h"

#include "foundation/Log.h"
#include "platform/SwayBackgroundOrder.h"
#include "platform/WaylandConnection.h"

#include <QGuiApplication>

bool SessionLiveWallpaperSupport::isAvailable() const
{
    // A compositor keeps its globals for the session: one look is enough.
    if (available_)
        return *available_;
    available_ = true;
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        const WaylandConnection* connection = WaylandConnection::shared();
        if (!connection)
            logLine(QStringLiteral("⚠️"), QStringLiteral("HomeScreenWallpaperEngine"),
                QStringLiteral("The Wayland compositor did not answer: no live wallpaper can be drawn"));
        available_ = connection && connection->canShowBackgrounds();
    }
    return *available_;
}

std::optional<QString> SessionLiveWallpaperSupport::obstacle() const
{
    if (!isAvailable() || QGuiApplication::platformName() != QLatin1String("wayland"))
        return std::nullopt;
    return WaylandConnection::shared()->backgroundOrder().obstacle();
}
