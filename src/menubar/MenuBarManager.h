#pragma once

#include "engine/DesktopClaim.h"
#include "menubar/TrayWindowControl.h"
#include "state/Delays.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class MenuPipelineRun;
class MenuThumbnailLoader;
class QAction;
class StatusItem;
class StatusMenu;
class UpdaterController;
struct WallpaperModel;
struct WallpaperPlaylist;

// The application's tray item and its menu: the wallpaper on the desktop as a picture, the
// version, the playback row, the main window, the recent wallpapers and the playlists, the CPU,
// RAM and cache readouts, cache and memory clean-up, start at login and quit. The menu keeps
// itself current by observing the desktop video engine, the recents, the playlists and their
// rotation, and refreshes its readouts and submenus each time it opens. The apply pipeline and
// the launch re-apply report through MenuBarHook and the shell, which also hands the tray
// what it may do to the windows. GUI thread; one
// shared instance, made at launch and kept until exit.
class MenuBarManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isWallpaperRunning READ isWallpaperRunning NOTIFY isWallpaperRunningChanged)

public:
    struct Options {
        // The readouts' short wait after opening, the row highlight and the lock-screen pause.
        Delays delays = Delays::real();
        // Ends the application (QCoreApplication::quit when empty).
        std::function<void()> terminate;
    };

    static constexpr int kReadoutDelayMs = 100;

    MenuBarManager();
    explicit MenuBarManager(Options options, QObject* parent = nullptr);
    ~MenuBarManager() override;

    static MenuBarManager& shared();

    // Joins the launch sequence: keeps the update controller and what the tray may do to the
    // windows.
    void attach(UpdaterController* controller, TrayWindowControl windows);
    void setUpdaterController(UpdaterController* controller);
    UpdaterController* updaterController() const;
    void setWindowControl(TrayWindowControl windows);
    const TrayWindowControl& windowControl() const { return windows_; }

    StatusMenu& menu() const { return *menu_; }
    StatusItem& statusItem() const { return *statusItem_; }
    MenuThumbnailLoader& thumbnailLoader() const { return *thumbnailLoader_; }
    const Delays& delays() const { return options_.delays; }

    bool isWallpaperRunning() const { return isWallpaperRunning_; }

    // Entry points of the rest of the application.
    void updateWallpaperStatus(bool isRunning);
    void updateThumbnail();
    // Refreshes of the menu's parts from the services.
    void updatePlaylistControls();
    void updateRecentsMenu();
    void updatePlaylistsMenu();
    void updateResourceReadouts();
    void menuWillOpen();

    // The menu's commands.
    void openApp();
    QCoro::Task<> clearCache();
    void clearRAM();
    void closeAllAppWindows();
    void toggleStartOnLogin();
    void quitApp();
    void selectRecentWallpaper(const QAction* item);
    void selectPlaylistFromMenu(const QAction* item);
    void applyWallpaperFromMenu(const WallpaperModel& wallpaper);
    void reapplyWallpaper();
    void startReapply(qint64 key, const QUrl& masterUrl);
    void togglePlayPause();
    void performPlaylistControl(int index);
    // The update check of the updater's user interface, after clearing the caches it reads.
    void checkForUpdatesWithCacheClear();

    // Pipeline runs: the newest one owns the desktop and the toast.
    bool isLatestRun(quint64 ticket) const { return ticket == lastTicket_; }
    int activeRuns() const { return activeRuns_; }

    // Texts of the submenus.
    static QString recentTitle(const WallpaperModel& wallpaper);
    static QString intervalLabel(qint64 seconds);
    static QString playlistTitle(const WallpaperPlaylist& playlist);

Q_SIGNALS:
    void isWallpaperRunningChanged();
    // A pipeline run (re-apply, apply of a recent) has ended, whichever way.
    void runFinished();

private:
    void connectActions();
    void setupObservers();
    void syncStartOnLoginItem();
    void refreshAfterCreation();
    // The local video of the current wallpaper's own or partner-site record, if it has one.
    std::optional<QUrl> thumbnailVideo(qint64 key) const;
    void startRun(std::function<QCoro::Task<>(MenuPipelineRun)> body);
    void finishRun();
    // Once a newer choice from any surface took every display of the newest run, its toast is
    // withdrawn: shown over, it would come back to speak for a replaced run.
    void withdrawReplacedToast();

    Options options_;
    StatusMenu* menu_;
    StatusItem* statusItem_;
    MenuThumbnailLoader* thumbnailLoader_;
    QPointer<UpdaterController> updaterController_;
    TrayWindowControl windows_;
    bool isWallpaperRunning_ = false;
    quint64 lastTicket_ = 0;
    // The in-app toast the runs opened last.
    std::shared_ptr<quint64> runsToast_ = std::make_shared<quint64>(0);
    // The newest run's claim on the desktop, until a newer choice took every display of it.
    std::optional<DesktopClaim> lastRunClaim_;
    int activeRuns_ = 0;
};
