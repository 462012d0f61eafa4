#pragma once

#include <QObject>

class HomeScreenWallpaperEngine;
class Screens;

// Keeps the desktop wallpaper right when displays are attached, detached, moved or resized: on
// every change of the screen layout it has the engine realign its windows and bring saved
// per-display wallpapers back at once, and 0.2 s later, once the layout has settled, again,
// covering new displays with a wallpaper that already shows. No debounce: every change gets its
// own delayed pass. Logs each step; raises nothing. One shared instance on the GUI thread,
// started at launch and stopped at exit.
class MonitorChangeService : public QObject {
    Q_OBJECT

public:
    static constexpr int kReapplyDelayMs = 200;

    // The shared screens and the shared engine.
    explicit MonitorChangeService(QObject* parent = nullptr);
    MonitorChangeService(Screens& screens, HomeScreenWallpaperEngine& engine, QObject* parent = nullptr);

    static MonitorChangeService& shared();

    bool isObserving() const { return isObserving_; }
    void startObserving();
    // Delayed passes already under way still run.
    void stopObserving();

    void handleMonitorChange();

Q_SIGNALS:
    // A delayed pass put the wallpaper back on the displays: the menu-bar item shows a running
    // wallpaper and refreshes its thumbnail.
    void wallpaperReapplied();

private:
    void reapplyAfterDelay();
    void log(const QString& emoji, const QString& message) const;

    Screens& screens_;
    HomeScreenWallpaperEngine& engine_;
    bool isObserving_ = false;
    QMetaObject::Connection observer_;
};
