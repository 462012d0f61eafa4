#include "app/VideoWallpaperApp.h"

#include "app/AppDelegate.h"
#include "app/AppWindows.h"
#include "app/MainWindow.h"
#include "engine/CacheService.h"
#include "engine/StaticWallpaperService.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "library/EarlierLists.h"
#include "library/LikedWallpapersService.h"
#include "platform/DesktopNotifications.h"
#include "platform/LoginItem.h"
#include "platform/ProcessRunner.h"
#include "platform/SingleInstance.h"
#include "platform/UrlSchemeRegistration.h"
#include "platform/WaylandConnection.h"
#include "app/StoredFileNotice.h"
#include "session/DiskFailureNotice.h"
#include "state/AppStore.h"
#include "state/ExplorePageService.h"
#include "state/ExploreWallpapersService.h"
#include "state/NotificationManager.h"
#include "state/PopularWallpapersService.h"
#include "state/WallpaperDeepLinkHandler.h"

#include <QCoreApplication>

namespace {
const QString kType = QStringLiteral("VideoWallpaperApp");

QCoro::Task<> registerUrlScheme(QString program)
{
    UrlSchemeRegistration registration(ProcessRunner::shared(), std::move(program));
    const bool registered = co_await registration.registerScheme();
    // The last of the launch's own steps to end (the desktop's tools may take seconds).
    logLine(QStringLiteral("🔗"), kType,
        registered ? QStringLiteral("Links handled by this copy") : QStringLiteral("Links are not handled by this copy"));
}
} // namespace

VideoWallpaperApp::VideoWallpaperApp(QStringList arguments, WallpaperManager::SignalSender analytics, QObject* parent)
    : QObject(parent), arguments_(std::move(arguments)), analytics_(analytics), wallpaperManager_(std::move(analytics)), instance_(new SingleInstance(SingleInstance::defaultProfileFolder(), SingleInstance::defaultChannelFolders(), this))
{
}

VideoWallpaperApp::~VideoWallpaperApp() = default;

QStringList VideoWallpaperApp::linksIn(const QStringList& arguments)
{
    QStringList links;
    for (qsizetype index = 1; index < arguments.size(); ++index)
        if (!arguments[index].startsWith(u'-'))
            links.append(arguments[index]);
    return links;
}

std::optional<int> VideoWallpaperApp::claimInstance()
{
    // A login launch while the application already runs has nothing to ask of it.
    const std::optional<QStringList> links =
        arguments_.contains(LoginItem::kLoginLaunchArgument) ? std::nullopt : std::optional(linksIn(arguments_));
    switch (instance_->claim(links)) {
    case SingleInstance::Claim::running:
        return std::nullopt;
    case SingleInstance::Claim::handedOver:
        logLine(QStringLiteral("ℹ️"), kType, QStringLiteral("Already running; handed this launch to the running copy"));
        return 0;
    case SingleInstance::Claim::alreadyRunning:
        logLine(QStringLiteral("ℹ️"), kType, QStringLiteral("Already running; a launch at login has nothing to hand over"));
        return 0;
    case SingleInstance::Claim::notHandedOver:
        logLine(QStringLiteral("❌"), kType, QStringLiteral("Already running, but this launch could not be handed to the running copy"));
        refusal_ = LaunchRefusal::unanswered();
        return 1;
    case SingleInstance::Claim::earlierVersionRuns:
        refusal_ = LaunchRefusal::earlierVersionRuns();
        return 1;
    case SingleInstance::Claim::lockUnavailable:
        break;
    }
    logLine(QStringLiteral("❌"), kType, QStringLiteral("Cannot tell whether another copy runs with this profile; not starting a second one"));
    refusal_ = LaunchRefusal::lockUnavailable(instance_->lockFailure(), SingleInstance::defaultProfileFolder());
    return 1;
}

void VideoWallpaperApp::launch()
{
    // The delegate opens the settings: only the copy that holds the profile's lock gets here.
    // The first start after an upgrade shows Home while the earlier settings go into the database.
    UserDefaults::setEarlierLists(EarlierLists::idFields());
    UserDefaults::setImportInBackground(true);
    delegate_ = new AppDelegate(arguments_, [] { return createMainWindow(); }, this);
    connectInstance();
    connect(qApp, &QCoreApplication::aboutToQuit, delegate_, &AppDelegate::applicationWillTerminate);
    // A lost compositor may end the process before the event loop returns: the end's own steps
    // run when the loss is told, before the settings are written.
    if (WaylandConnection* wayland = WaylandConnection::shared())
        connect(wayland, &WaylandConnection::lost, delegate_, &AppDelegate::applicationWillTerminate);
    registerFeedCaches();
    fireAndForget(registerUrlScheme(QCoreApplication::applicationFilePath()), kType);

    // Settings that cannot be written are told to the user, not only to the log.
    auto* diskNotice = new DiskFailureNotice(NotificationManager::shared(), DesktopNotifications::shared(),
        &AppWindows::hasShownMainWindow, this);
    diskNotice->watch(UserDefaults::standard());
    diskNotice->watch(StaticWallpaperService::shared().loginWindowDefaults());
    delegate_->applicationDidFinishLaunching();
    // A launch at login keeps the window hidden, often for the whole session: the main window,
    // its pages, their images and players are made when it first shows, through the presence.
    if (!delegate_->isLaunchAtLogin()) {
        createMainWindow()->show();
        // The window's own first load; the launch sequence asked for the same one.
        ::launch([] { return AppStore::shared().initializeIfNeeded(); }, kType);
    }
    // Settings that could not be read are told once there is a window to tell it in. Other
    // stored files report through storedFileNotice().
    storedFileNotice_ = new StoredFileNotice(*diskNotice, this);
    storedFileNotice_->watch(UserDefaults::standard(), tr("settings and library"));
    storedFileNotice_->watchAnalytics();
    delegate_->open(linksIn(arguments_));
}

MainWindow* VideoWallpaperApp::createMainWindow()
{
    // The liked list is read on workers while the window is made: the cards' hearts need it, and
    // a long list read only at the first card would still hold its stored text when Home paints.
    LikedWallpapersService::shared();
    return new MainWindow();
}

void VideoWallpaperApp::registerFeedCaches()
{
    CacheService& caches = CacheService::shared();
    ExploreWallpapersService& explore = ExploreWallpapersService::shared();
    caches.registerFeedCache(&explore, [&explore] { explore.clearMemory(); });
    PopularWallpapersService& popular = PopularWallpapersService::shared();
    caches.registerFeedCache(&popular, [&popular] { popular.clearMemory(); });
    ExplorePageService& page = ExplorePageService::shared();
    caches.registerFeedCache(&page, [&page] { page.reset(); });
}

void VideoWallpaperApp::connectInstance()
{
    MainWindowPresence& presence = delegate_->presence();
    connect(instance_, &SingleInstance::activationRequested, &presence,
        [&presence] { presence.applicationShouldHandleReopen(AppWindows::hasShownMainWindow()); });
    connect(instance_, &SingleInstance::linkReceived, this, [](const QString& link) { WallpaperDeepLinkHandler::shared().handle(link); });
    connect(&WallpaperDeepLinkHandler::shared(), &WallpaperDeepLinkHandler::mainWindowRequested, &presence,
        &MainWindowPresence::showMainWindow);
}
