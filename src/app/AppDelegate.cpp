#include "app/AppDelegate.h"

#include "app/AppWindows.h"
#include "app/LaunchReapply.h"
#include "app/ShellDefaults.h"
#include "app/SystemEventObservers.h"
#include "engine/AerialsFolders.h"
#include "engine/CacheService.h"
#include "engine/LockScreenService.h"
#include "engine/MonitorChangeService.h"
#include "engine/WallpaperAerialsExtensionService.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "library/CustomWallpapersService.h"
#include "library/PlaylistPlaybackService.h"
#include "library/RecentsWallpapersService.h"
#include "menubar/MenuBarManager.h"
#include "platform/LoginItem.h"
#include "platform/SessionEvents.h"
#include "session/AutoStartService.h"
#include "session/LoginItemService.h"
#include "session/PowerStateMonitorService.h"
#include "session/SystemMonitorService.h"
#include "state/AppStore.h"
#include "state/WallpaperDeepLinkHandler.h"
#if QUORVELLE_SELF_UPDATE
#include "updater/UpdateRunner.h"
#include "updater/UpdaterController.h"
#include "updater/UpdaterFolders.h"
#endif

#include <QGuiApplication>
#include <QWindow>

namespace {
// The one delegate of the running application.
AppDelegate* currentDelegate = nullptr;
const QString kType = QStringLiteral("AppDelegate");

// A free coroutine with its arguments by value: a capturing lambda would be gone before it ends.
QCoro::Task<> reapplySavedState(QPointer<LaunchReapply> reapply, bool isLoginLaunch)
{
    if (reapply)
        co_await reapply->run(isLoginLaunch);
}
} // namespace

AppDelegate::AppDelegate(QStringList arguments, MainWindowPresence::WindowFactory makeWindow, QObject* parent)
    : AppDelegate(std::move(arguments), std::move(makeWindow), UserDefaults::standard(), SessionEvents::shared(),
          std::make_unique<LaunchReapply>(), parent)
{
}

AppDelegate::AppDelegate(QStringList arguments, MainWindowPresence::WindowFactory makeWindow, UserDefaults& defaults,
    SessionEvents& sessionEvents, std::unique_ptr<LaunchReapply> reapply, QObject* parent)
    : QObject(parent), arguments_(std::move(arguments)), defaults_(defaults),
      presence_(new MainWindowPresence(ActivationPolicy::shared(), defaults, std::move(makeWindow), ConnectivityProbe(), this)),
      systemObservers_(new SystemEventObservers(sessionEvents, this)), reapply_(reapply.release())
{
    reapply_->setParent(this);
    connect(reapply_, &LaunchReapply::wallpaperRunning, this, &AppDelegate::wallpaperRunning);
    currentDelegate = this;
}

AppDelegate::~AppDelegate()
{
    if (currentDelegate == this)
        currentDelegate = nullptr;
}

AppDelegate* AppDelegate::current() { return currentDelegate; }

UpdaterController* AppDelegate::updaterController() const
{
#if QUORVELLE_SELF_UPDATE
    return updaterController_.get();
#else
    return nullptr;
#endif
}

void AppDelegate::applicationDidFinishLaunching()
{
    CacheService::shared().removeLegacyFolders();
    CacheService::shared().removeUnfinishedFiles();
    AerialsFolders::shared().removeUnfinishedFiles();
    // Made before any apply: the rotation and the recents hear of applies only once they exist.
    PlaylistPlaybackService::shared();
    RecentsWallpapersService::shared();
    CustomWallpapersService& ownVideos = CustomWallpapersService::shared();
    ownVideos.removeUnfinishedImports();
    ownVideos.adoptUnlistedVideos();
    isLaunchAtLogin_ = detectLoginLaunch();
    launch([reapply = QPointer<LaunchReapply>(reapply_), login = isLaunchAtLogin_] { return reapplySavedState(reapply, login); },
        kType);
    clearUpdaterCaches();
#if QUORVELLE_SELF_UPDATE
    updaterController_ = std::make_unique<UpdaterController>(false, &customUserDriver_);
#endif
    // The tray's first use makes its item and menu.
    MenuBarManager& tray = MenuBarManager::shared();
    tray.attach(updaterController(), presence_->trayWindowControl());
    connect(this, &AppDelegate::wallpaperRunning, &tray, [&tray] { tray.updateWallpaperStatus(true); });
    SystemMonitorService::shared();
    PowerStateMonitorService::shared().start();
    presence_->applyRegularPolicyAtLaunch();
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, presence_, &MainWindowPresence::handleWindowDidChange);
    connect(qGuiApp, &QGuiApplication::lastWindowClosed, presence_, &MainWindowPresence::applicationShouldTerminateAfterLastWindowClosed);
    handleFirstLaunch();
    syncLoginItemState();
    registerSystemObservers();
    MonitorChangeService& displays = MonitorChangeService::shared();
    connect(&displays, &MonitorChangeService::wallpaperReapplied, this, &AppDelegate::wallpaperRunning, Qt::UniqueConnection);
    displays.startObserving();
    if (LockScreenService::shared().isEnabled()) {
        logLine(QStringLiteral("🔄"), kType, QStringLiteral("Lock screen enabled - restarting WallpaperAerialsExtension on app launch..."));
        // Awaited, not waited for: the rest of the launch goes on meanwhile.
        fireAndForget(restartExtensionOnLaunch(), kType);
    }
    logLine(QStringLiteral("Application launched (login launch: ") + (isLaunchAtLogin_ ? QStringLiteral("true") : QStringLiteral("false"))
        + u')');
    if (!isLaunchAtLogin_) {
        defaults_.setBool(ShellDefaults::hiddenDueToLoginLaunch, false);
        defaults_.setBool(ShellDefaults::hasShownWindowThisSession, true);
        for (const int delayMs : kAttachDelaysMs) {
            runAfter(delayMs, presence_, [presence = presence_] {
                presence->attachWindowDelegate();
                presence->updateDockVisibility();
            });
        }
    } else {
        logLine(QStringLiteral("Login launch detected - hiding windows and starting wallpaper in background"));
        defaults_.setBool(ShellDefaults::hiddenDueToLoginLaunch, true);
        runAfter(kLoginHideDelayMs, this, [] { AppWindows::orderOutNormalWindows(); });
    }
    launch([] { return checkForUpdatesOnLaunch(); }, kType);
    launch([] { return AppStore::shared().initializeIfNeeded(); }, kType);
    logLine(QStringLiteral("Application launched with menu bar"));
}

QCoro::Task<> AppDelegate::checkForUpdatesOnLaunch()
{
#if QUORVELLE_SELF_UPDATE
    co_await UpdateRunner::shared().runAtLaunch();
#else
    co_return;
#endif
}

bool AppDelegate::detectLoginLaunch()
{
    const bool hasShownWindow = defaults_.boolean(ShellDefaults::hasShownWindowThisSession);
    const bool startOnLogin = defaults_.boolean(LoginItemService::startOnLoginKey);
    // The session's autostart entry is the only one that passes this argument.
    const bool startedByLoginItem = arguments_.contains(LoginItem::kLoginLaunchArgument);
    if (startOnLogin && startedByLoginItem && !hasShownWindow)
        return true;
    defaults_.setBool(ShellDefaults::hasShownWindowThisSession, true);
    return false;
}

void AppDelegate::handleFirstLaunch()
{
    if (defaults_.boolean(ShellDefaults::hasLaunchedBefore) || defaults_.isUnreadable(ShellDefaults::hasLaunchedBefore))
        return;
    // A settings file kept aside proves an earlier launch, whose choices may be in it.
    if (defaults_.hasDamagedCopies()) {
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Settings were damaged; not treating this launch as the first"));
        defaults_.setBool(ShellDefaults::hasLaunchedBefore, true);
        return;
    }
    AutoStartService::shared().setEnabled(true);
    defaults_.setBool(ShellDefaults::hasLaunchedBefore, true);
}

void AppDelegate::syncLoginItemState()
{
    // A damaged entry tells nothing of the user's choice: the choice stays and mends the entry.
    LoginItemService& loginItems = LoginItemService::shared();
    if (loginItems.repairDamagedItem())
        return;
    loginItems.followThisCopy();
    const bool registered = loginItems.isLoginItemOn();
    if (registered == defaults_.boolean(LoginItemService::startOnLoginKey))
        return;
    defaults_.setBool(LoginItemService::startOnLoginKey, registered);
    AutoStartService& autoStart = AutoStartService::shared();
    if (autoStart.isEnabled() != registered)
        autoStart.setEnabled(registered);
}

void AppDelegate::clearUpdaterCaches()
{
#if QUORVELLE_SELF_UPDATE
    // A failed removal is retried at the next launch; nothing depends on it.
    UpdaterFolders::clearCaches();
#endif
}

void AppDelegate::open(const QStringList& links)
{
    for (const QString& link : links)
        WallpaperDeepLinkHandler::shared().handle(link);
}

void AppDelegate::registerSystemObservers() { systemObservers_->registerSystemObservers(); }

void AppDelegate::applicationWillTerminate()
{
    // An import copying a large video would hold the end of the process until its last block
    // (the pool's work is waited for); stopped, it ends within a block and leaves nothing.
    CustomWallpapersService::shared().stopImports();
    systemObservers_->removeSystemObservers();
    MonitorChangeService::shared().stopObserving();
    defaults_.setBool(ShellDefaults::hasShownWindowThisSession, false);
    defaults_.setBool(ShellDefaults::hiddenDueToLoginLaunch, false);
}

QCoro::Task<> AppDelegate::restartExtensionOnLaunch()
{
    try {
        co_await WallpaperAerialsExtensionService::shared().restartExtension();
    } catch (const std::exception& error) {
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Failed to restart extension on app launch: ") + describeError(error));
        co_return;
    }
    logLine(QStringLiteral("✅"), kType, QStringLiteral("WallpaperAerialsExtension restarted successfully on app launch"));
}
