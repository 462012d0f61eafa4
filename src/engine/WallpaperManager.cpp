#include "engine/WallpaperManager.h"

#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/MenuBarHook.h"
#include "engine/WallpaperPersistenceService.h"
#include "foundation/AppError.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"

#include <exception>

WallpaperManager::WallpaperManager(SignalSender sendSignal) : sendSignal_(std::move(sendSignal)) {}

WallpaperManager& WallpaperManager::shared() { return Shared<WallpaperManager>::instance(); }

void WallpaperManager::send(const QString& name, const QHash<QString, QString>& parameters) const
{
    if (sendSignal_)
        sendSignal_(name, parameters);
}

Result<Success, EngineError> WallpaperManager::applyWallpaper()
{
    try {
        HomeScreenWallpaperEngine::shared().startBundledWallpaper();
    } catch (const EngineError& error) {
        const QString description = error.localizedDescription();
        logLine(QStringLiteral("Wallpaper apply failed: ") + description);
        send(QStringLiteral("Wallpaper.applyFailed"), {{QStringLiteral("error"), description}});
        return Result<Success, EngineError>::failure(error);
    } catch (const std::exception& error) {
        const QString description = describeError(error);
        logLine(QStringLiteral("Unexpected wallpaper engine error: ") + description);
        return Result<Success, EngineError>::failure(EngineError::unknown(description));
    }
    logLine(QStringLiteral("Wallpaper applied from UI"));
    MenuBarHook::shared().updateWallpaperStatus(true);
    send(QStringLiteral("Wallpaper.applied"), {{QStringLiteral("source"), QStringLiteral("normal")}});
    return Result<Success, EngineError>::success(Success{});
}

void WallpaperManager::removeWallpaper()
{
    HomeScreenWallpaperEngine::shared().stopAll();
    WallpaperPersistenceService::shared().clearSavedWallpaper();
    logLine(QStringLiteral("Wallpaper removed from UI"));
    MenuBarHook::shared().updateWallpaperStatus(false);
}
