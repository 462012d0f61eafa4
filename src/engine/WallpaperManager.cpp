#include "engine/WallpaperManager.h"

#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/MenuBarHook.h"
#include "engine/WallpaperPersistenceService.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"

WallpaperManager::WallpaperManager(SignalSender sendSignal) : sendSignal_(std::move(sendSignal)) {}

WallpaperManager& WallpaperManager::shared() { return Shared<WallpaperManager>::instance(); }

void WallpaperManager::send(const QString& name, const QHash<QString, QString>& parameters) const
{
    if (sendSignal_)
        sendSignal_(name, parameters);
}

void WallpaperManager::removeWallpaper()
{
    HomeScreenWallpaperEngine::shared().stopAll();
    WallpaperPersistenceService::shared().clearSavedWallpaper();
    logLine(QStringLiteral("Wallpaper removed from UI"));
    MenuBarHook::shared().updateWallpaperStatus(false);
}
