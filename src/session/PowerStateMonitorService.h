#pragma once

#include "platform/PowerSourceDescription.h"

#include <QList>
#include <QObject>

#include <optional>

class HomeScreenWallpaperEngine;
class PlaylistPlaybackService;
class PowerSource;

// Saves energy: while the system's low-power mode is on, or the machine runs on its battery at
// 20 % or less, it pauses the desktop video and the playlist rotation, and once neither holds it
// resumes them, but only after a pause of its own. A wallpaper the user paused before is left
// alone. A pause or play by the user while it holds its own pause hands the choice back to the
// user: it neither resumes nor pauses again until the condition has ended. GUI thread; one shared
// instance, started by the launch sequence and kept until exit.
class PowerStateMonitorService : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isLowPowerModeEnabled READ isLowPowerModeEnabled NOTIFY isLowPowerModeEnabledChanged)
    Q_PROPERTY(std::optional<int> batteryPercent READ batteryPercent NOTIFY batteryPercentChanged)
    Q_PROPERTY(std::optional<bool> isOnBatteryPower READ isOnBatteryPower NOTIFY isOnBatteryPowerChanged)
    Q_PROPERTY(bool isAutoPaused READ isAutoPaused NOTIFY isAutoPausedChanged)

public:
    struct BatteryInfo {
        std::optional<int> percent;
        std::optional<bool> onBattery;
    };

    static constexpr int kLowBatteryPercent = 20;

    // The shared power source, engine and playlist rotation.
    explicit PowerStateMonitorService(QObject* parent = nullptr);
    PowerStateMonitorService(PowerSource& power, HomeScreenWallpaperEngine& engine, PlaylistPlaybackService& playlists,
        QObject* parent = nullptr);

    static PowerStateMonitorService& shared();

    // The first internal battery among the sources (a source without a transport counts as
    // internal), its charge in percent and whether it powers the machine.
    static BatteryInfo readBatteryInfo(const QList<PowerSourceDescription>& sources);

    bool isLowPowerModeEnabled() const { return isLowPowerModeEnabled_; }
    std::optional<int> batteryPercent() const { return batteryPercent_; }
    std::optional<bool> isOnBatteryPower() const { return isOnBatteryPower_; }
    bool isAutoPaused() const { return isAutoPaused_; }
    bool isBatteryLow() const;

    // Starts watching and evaluates once; later calls do nothing.
    void start();

Q_SIGNALS:
    void isLowPowerModeEnabledChanged();
    void batteryPercentChanged();
    void isOnBatteryPowerChanged();
    void isAutoPausedChanged();

private:
    void handlePowerStateChange();
    void refreshBatteryState();
    void evaluateAutoPause();
    bool shouldPause() const;
    // The engine or the rotation was paused or resumed by someone else.
    void playbackChangedElsewhere();

    void setLowPowerMode(bool enabled);
    void setBattery(const BatteryInfo& battery);
    void setAutoPaused(bool paused);

    PowerSource& power_;
    HomeScreenWallpaperEngine& engine_;
    PlaylistPlaybackService& playlists_;
    bool isLowPowerModeEnabled_;
    std::optional<int> batteryPercent_;
    std::optional<bool> isOnBatteryPower_;
    bool isAutoPaused_ = false;
    bool hasStarted_ = false;
    // This service is pausing or resuming; the changes it causes are its own.
    bool changingPlayback_ = false;
    // The user took over playback during the current low-power condition.
    bool userChoseDuringCondition_ = false;
    // The playlist rotation was paused by this service's own pause, not before it.
    bool pausedRotation_ = false;
};
