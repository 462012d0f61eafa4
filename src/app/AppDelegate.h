#pragma once

#include "app/MainWindowPresence.h"
#if QUORVELLE_SELF_UPDATE
#include "updater/CustomUserDriver.h"
#endif

#include <QObject>
#include <QStringList>

#include <memory>

class LaunchReapply;
class SessionEvents;
class SystemEventObservers;
class UpdaterController;
class UserDefaults;

// The application delegate: runs the launch sequence in its fixed order (legacy folders,
// unfinished lock-screen files, login launch, saved wallpapers, updater, monitors, window
// observers, login item, session events, display changes, lock-screen extension, windows,
// update check, first load), hands links of the
// URL scheme to the deep-link handler and cleans up at termination. Its window and task-bar
// behaviour is MainWindowPresence's. Nothing it starts blocks the GUI thread. GUI thread; one
// per process, owned by the application.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    static constexpr int kLoginHideDelayMs = 100;
    static constexpr int kAttachDelaysMs[] = {100, 300, 500};

    // `arguments`: the command line, which says whether the session started the program at login.
    // The standard defaults and the shared session events.
    AppDelegate(QStringList arguments, MainWindowPresence::WindowFactory makeWindow, QObject* parent = nullptr);
    AppDelegate(QStringList arguments, MainWindowPresence::WindowFactory makeWindow, UserDefaults& defaults,
        SessionEvents& sessionEvents, std::unique_ptr<LaunchReapply> reapply, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The delegate of the running application; none outside it (tests of single parts).
    static AppDelegate* current();

    bool isLaunchAtLogin() const { return isLaunchAtLogin_; }
    MainWindowPresence& presence() { return *presence_; }
    // The update framework's controller, made (not started) by the launch sequence; for the tray.
    // None in a build without the self-updater, which the system's package manager updates.
    UpdaterController* updaterController() const;

    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    // Links of the URL scheme, one by one in the order given.
    void open(const QStringList& links);

    bool detectLoginLaunch();
    void handleFirstLaunch();
    void syncLoginItemState();
    // Both do nothing in a build without the self-updater.
    void clearUpdaterCaches();
    // The enforced check of every launch: one run of the shared update runner, which a check
    // asked for meanwhile (the tray) joins.
    static QCoro::Task<> checkForUpdatesOnLaunch();

Q_SIGNALS:
    // A saved wallpaper runs again (launch, display change): the tray shows it as running.
    void wallpaperRunning();

private:
    void registerSystemObservers();
    static QCoro::Task<> restartExtensionOnLaunch();

    const QStringList arguments_;
    UserDefaults& defaults_;
#if QUORVELLE_SELF_UPDATE
    CustomUserDriver customUserDriver_;
    std::unique_ptr<UpdaterController> updaterController_;
#endif
    MainWindowPresence* presence_;
    SystemEventObservers* systemObservers_;
    LaunchReapply* reapply_;
    bool isLaunchAtLogin_ = false;
};
