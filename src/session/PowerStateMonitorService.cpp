#include "session/PowerStateMonitorService.h"

#include "engine/HomeScreenWallpaperEngine.h"
#include "foundation/Shared.h"
#include "library/PlaylistPlaybackService.h"
#include "platform/PowerSource.h"

#include <QScopedValueRollback>

#include <algorithm>

PowerStateMonitorService::PowerStateMonitorService(QObject* parent)
    : PowerStateMonitorService(PowerSource::shared(), HomeScreenWallpaperEngine::shared(), PlaylistPlaybackService::shared(), parent)
{
}

PowerStateMonitorService::PowerStateMonitorService(PowerSource& power, HomeScreenWallpaperEngine& engine,
    PlaylistPlaybackService& playlists, QObject* parent)
    : QObject(parent), power_(power), engine_(engine), playlists_(playlists), isLowPowerModeEnabled_(power.isLowPowerModeEnabled())
{
}

PowerStateMonitorService& PowerStateMonitorService::shared() { return Shared<PowerStateMonitorService>::instance(); }

PowerStateMonitorService::BatteryInfo PowerStateMonitorService::readBatteryInfo(const QList<PowerSourceDescription>& sources)
{
    const auto internal = std::find_if(sources.cbegin(), sources.cend(), [](const PowerSourceDescription& source) {
        return !source.transportType || *source.transportType == PowerSourceDescription::kInternalTransport;
    });
    if (internal == sources.cend())
        return {};
    BatteryInfo info;
    if (internal->currentCapacity && internal->maxCapacity && *internal->maxCapacity >= 1)
        // Multiplied first: 29 / 100 × 100 would truncate to 28 in floating point.
        info.percent = int(std::clamp(double(*internal->currentCapacity) * 100.0 / double(*internal->maxCapacity), 0.0, 100.0));
    else if (internal->currentCapacity)
        info.percent = int(std::clamp<qint64>(*internal->currentCapacity, 0, 100));
    if (internal->powerSourceState)
        info.onBattery = *internal->powerSourceState == PowerSourceDescription::kBatteryPowerState;
    return info;
}

bool PowerStateMonitorService::isBatteryLow() const
{
    if (!batteryPercent_ || !isOnBatteryPower_)
        return false;
    return *isOnBatteryPower_ && *batteryPercent_ <= kLowBatteryPercent;
}

void PowerStateMonitorService::start()
{
    if (hasStarted_)
        return;
    hasStarted_ = true;
    connect(&power_, &PowerSource::lowPowerModeChanged, this, &PowerStateMonitorService::handlePowerStateChange);
    connect(&power_, &PowerSource::sourcesChanged, this, &PowerStateMonitorService::refreshBatteryState);
    connect(&engine_, &HomeScreenWallpaperEngine::isPausedChanged, this, &PowerStateMonitorService::playbackChangedElsewhere);
    connect(&playlists_, &PlaylistPlaybackService::isPausedChanged, this, &PowerStateMonitorService::playbackChangedElsewhere);
    setBattery(readBatteryInfo(power_.sources()));
    evaluateAutoPause();
}

void PowerStateMonitorService::handlePowerStateChange()
{
    setLowPowerMode(power_.isLowPowerModeEnabled());
    setBattery(readBatteryInfo(power_.sources()));
    evaluateAutoPause();
}

void PowerStateMonitorService::refreshBatteryState()
{
    setBattery(readBatteryInfo(power_.sources()));
    evaluateAutoPause();
}

bool PowerStateMonitorService::shouldPause() const { return isLowPowerModeEnabled_ || isBatteryLow(); }

void PowerStateMonitorService::evaluateAutoPause()
{
    const bool hasWallpaper = engine_.currentWallpaperKey().has_value();
    const QScopedValueRollback<bool> ownChange(changingPlayback_, true);
    if (shouldPause()) {
        if (!hasWallpaper || engine_.isPaused() || userChoseDuringCondition_)
            return;
        engine_.pause();
        pausedRotation_ = playlists_.activePlaylistId() && !playlists_.isPaused();
        if (pausedRotation_)
            playlists_.togglePause();
        setAutoPaused(true);
        return;
    }
    userChoseDuringCondition_ = false;
    if (!isAutoPaused_)
        return;
    if (hasWallpaper) {
        if (engine_.isPaused())
            engine_.resume();
        // A rotation the user had paused before stays paused.
        if (pausedRotation_ && playlists_.activePlaylistId() && playlists_.isPaused())
            playlists_.togglePause();
    }
    pausedRotation_ = false;
    setAutoPaused(false);
}

void PowerStateMonitorService::playbackChangedElsewhere()
{
    if (changingPlayback_ || !shouldPause())
        return;
    // Whatever the user chose now stands until the condition ends.
    userChoseDuringCondition_ = true;
    pausedRotation_ = false;
    setAutoPaused(false);
}

void PowerStateMonitorService::setLowPowerMode(bool enabled)
{
    if (enabled == isLowPowerModeEnabled_)
        return;
    isLowPowerModeEnabled_ = enabled;
    Q_EMIT isLowPowerModeEnabledChanged();
}

void PowerStateMonitorService::setBattery(const BatteryInfo& battery)
{
    if (battery.percent != batteryPercent_) {
        batteryPercent_ = battery.percent;
        Q_EMIT batteryPercentChanged();
    }
    if (battery.onBattery != isOnBatteryPower_) {
        isOnBatteryPower_ = battery.onBattery;
        Q_EMIT isOnBatteryPowerChanged();
    }
}

void PowerStateMonitorService::setAutoPaused(bool paused)
{
    if (paused == isAutoPaused_)
        return;
    isAutoPaused_ = paused;
    Q_EMIT isAutoPausedChanged();
}
