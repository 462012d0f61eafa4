#include "engine/MonitorChangeService.h"

#include "engine/HomeScreenWallpaperEngine.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "platform/Screens.h"

namespace {
const QString kType = QStringLiteral("MonitorChangeService");
const QString kClosingLine = QStringLiteral("==========================================");
} // namespace

MonitorChangeService::MonitorChangeService(QObject* parent)
    : MonitorChangeService(Screens::shared(), HomeScreenWallpaperEngine::shared(), parent)
{
}

MonitorChangeService::MonitorChangeService(Screens& screens, HomeScreenWallpaperEngine& engine, QObject* parent)
    : QObject(parent), screens_(screens), engine_(engine)
{
}

MonitorChangeService& MonitorChangeService::shared() { return Shared<MonitorChangeService>::instance(); }

void MonitorChangeService::startObserving()
{
    if (isObserving_) {
        log(QStringLiteral("ℹ️"), QStringLiteral("Already observing monitor changes"));
        return;
    }
    log(QStringLiteral("🔧"), QStringLiteral("Setting up monitor change detection observers..."));
    observer_ = connect(&screens_, &Screens::parametersChanged, this, &MonitorChangeService::handleMonitorChange);
    isObserving_ = true;
    log(QStringLiteral("✅"), QStringLiteral("Monitor change detection observers set up successfully"));
}

void MonitorChangeService::stopObserving()
{
    if (!isObserving_)
        return;
    disconnect(observer_);
    isObserving_ = false;
    log(QStringLiteral("✅"), QStringLiteral("Monitor change detection stopped"));
}

void MonitorChangeService::handleMonitorChange()
{
    log(QStringLiteral("🖥️"), QStringLiteral("========== MONITOR CHANGE DETECTED =========="));
    log(QStringLiteral("🖥️"), QStringLiteral("Current screen count: ") + QString::number(screens_.screens().size()));
    engine_.handleScreenConfigurationChange();
    if (!engine_.currentWallpaperKey()) {
        log(QStringLiteral("ℹ️"), QStringLiteral("No wallpaper is currently active, skipping"));
        log(QStringLiteral("🖥️"), kClosingLine);
        return;
    }
    // The window system may still be settling the new layout; look again a moment later.
    runAfter(kReapplyDelayMs, this, [this] { reapplyAfterDelay(); });
}

void MonitorChangeService::reapplyAfterDelay()
{
    const qsizetype count = screens_.screens().size();
    if (count == 0) {
        log(QStringLiteral("⚠️"), QStringLiteral("No screens detected after delay"));
    } else {
        engine_.handleScreenConfigurationChange();
        engine_.reapplySavedPerMonitorWallpapers();
        Q_EMIT wallpaperReapplied();
        log(QStringLiteral("✅"),
            QStringLiteral("Wallpaper reapplied to ") + QString::number(count) + QStringLiteral(" screen(s)"));
    }
    log(QStringLiteral("🖥️"), kClosingLine);
}

void MonitorChangeService::log(const QString& emoji, const QString& message) const { logLine(emoji, kType, message); }
