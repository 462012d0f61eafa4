#include "menubar/MenuBarManager.h"

#include "engine/CacheService.h"
#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/MenuBarHook.h"
#include "engine/WallpaperDownloadService.h"
#include "engine/WallpaperPersistenceService.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/Text.h"
#include "library/AutoChangeTimeOption.h"
#include "library/CustomWallpapersService.h"
#include "library/LikedWallpapersService.h"
#include "library/PlaylistPlaybackService.h"
#include "library/RecentsWallpapersService.h"
#include "library/WallpaperPlaylistService.h"
#include "menubar/MenuApplyPipeline.h"
#include "menubar/MenuPipelineRun.h"
#include "menubar/MenuReapplyPipeline.h"
#include "menubar/MenuThumbnailLoader.h"
#include "menubar/PlaylistControlsRowView.h"
#include "menubar/StatusItem.h"
#include "menubar/StatusMenu.h"
#include "model/WallpaperAssets.h"
#include "model/WallpaperModel.h"
#include "model/WallpaperPlaylist.h"
#include "platform/ActivationPolicy.h"
#include "platform/Http.h"
#include "platform/MediaTools.h"
#include "session/AutoStartService.h"
#include "session/NotificationCenter.h"
#include "session/SystemMonitorService.h"
#include "state/AppStore.h"
#include "state/NotificationManager.h"
#include "ui/ElidedText.h"
#include "ui/PosterCardRules.h"
#if QUORVELLE_SELF_UPDATE
#include "updater/UpdateCommand.h"
#endif
#include "updater/UpdaterController.h"

#include <QCoreApplication>
#include <QMenu>
#include <QPixmap>
#include <QWidgetAction>

#include <algorithm>

namespace {
const QString kType = QStringLiteral("MenuBarManager");
constexpr int kRecentPictureSize = 16;

void log(const QString& emoji, const QString& message) { logLine(emoji, kType, message); }

// A recent wallpaper's picture, or why there is none.
struct RecentPicture {
    QImage image;
    QString failure;
};

// A frame of one of the user's own videos (whose picture address is the video itself, tens of
// megabytes that are no picture), else the picture at its address.
QCoro::Task<RecentPicture> recentPicture(QUrl url, bool localVideo)
{
    if (localVideo) {
        const QString path = url.toLocalFile();
        const QSize bounds(kRecentPictureSize * 4, kRecentPictureSize * 4);
        QImage frame = co_await MediaTools::shared().frameAtAsync(path, MenuThumbnailLoader::kFrameSeconds, bounds);
        co_return RecentPicture{std::move(frame), QStringLiteral("no frame")};
    }
    const QNetworkRequest request(url);
    const HttpResponse response = co_await Http::shared().send(request);
    co_return RecentPicture{QImage::fromData(response.body), QStringLiteral("not a picture (status %1)").arg(response.status)};
}

// A recent wallpaper's picture as its menu item's icon; any failure leaves the item without one.
QCoro::Task<> loadRecentPicture(QPointer<QAction> item, QUrl url, bool localVideo)
{
    RecentPicture picture;
    try {
        picture = co_await recentPicture(url, localVideo);
    } catch (const std::exception& error) {
        picture.failure = describeError(error);
    }
    // A menu rebuilt or gone meanwhile wants no picture, and its failure is no news.
    if (!item)
        co_return;
    if (picture.image.isNull()) {
        logLine(QStringLiteral("⚠️"), QStringLiteral("MenuBarManager"), QStringLiteral("Recent wallpaper picture not read from ") + url.toString() + QStringLiteral(": ") + picture.failure);
        co_return;
    }
    item->setIcon(QPixmap::fromImage(picture.image.scaled(kRecentPictureSize * 2, kRecentPictureSize * 2,
        Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation)));
}

// The asset host of the saved wallpaper's video, with its port, when it is a remote address.
std::optional<QString> savedAssetHost()
{
    const auto saved = WallpaperPersistenceService::shared().loadSavedWallpaper();
    if (!saved || saved->masterUrl.isLocalFile() || saved->masterUrl.host().isEmpty())
        return std::nullopt;
    const QUrl& url = saved->masterUrl;
    return url.port() < 0 ? url.host() : url.host() + u':' + QString::number(url.port());
}

QCoro::Task<> trackRun(QPointer<MenuBarManager> manager, QCoro::Task<> run, std::function<void()> finished)
{
    try {
        co_await std::move(run);
    } catch (const std::exception& error) {
        logLine(QStringLiteral("❌"), kType, QStringLiteral("Unhandled error: ") + describeError(error));
    }
    if (manager)
        finished();
}
} // namespace

MenuBarManager::MenuBarManager() : MenuBarManager(Options{}) {}

MenuBarManager::MenuBarManager(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)), menu_(new StatusMenu(this)),
      statusItem_(new StatusItem(menu_->popupMenu(), menu_->contextMenu(), this)),
      thumbnailLoader_(new MenuThumbnailLoader(menu_->thumbnailItem(), menu_->thumbnailView(), this))
{
    if (!options_.terminate)
        options_.terminate = [] { QCoreApplication::quit(); };
    connectActions();
    syncStartOnLoginItem();
    updateThumbnail();
    updatePlaylistControls();
    setupObservers();
    updateResourceReadouts();
}

MenuBarManager::~MenuBarManager() = default;

MenuBarManager& MenuBarManager::shared() { return Shared<MenuBarManager>::instance(); }

void MenuBarManager::attach(UpdaterController* controller, TrayWindowControl windows)
{
    setUpdaterController(controller);
    setWindowControl(std::move(windows));
}

void MenuBarManager::setUpdaterController(UpdaterController* controller) { updaterController_ = controller; }

UpdaterController* MenuBarManager::updaterController() const { return updaterController_; }

void MenuBarManager::setWindowControl(TrayWindowControl windows) { windows_ = std::move(windows); }

void MenuBarManager::connectActions()
{
    StatusMenu& menu = *menu_;
    connect(menu.popupMenu(), &QMenu::aboutToShow, this, &MenuBarManager::menuWillOpen);
    connect(menu.contextMenu(), &QMenu::aboutToShow, this, &MenuBarManager::menuWillOpen);
    connect(menu.openItem(), &QAction::triggered, this, &MenuBarManager::openApp);
    connect(menu.clearCacheItem(), &QAction::triggered, this, [this] { fireAndForget(clearCache(), kType); });
    connect(menu.clearRamItem(), &QAction::triggered, this, &MenuBarManager::clearRAM);
    connect(menu.startOnLoginItem(), &QAction::triggered, this, &MenuBarManager::toggleStartOnLogin);
    connect(menu.quitItem(), &QAction::triggered, this, &MenuBarManager::quitApp);
    connect(menu.playlistControlsView(), &PlaylistControlsRowView::controlActivated, this, &MenuBarManager::performPlaylistControl);
}

void MenuBarManager::setupObservers()
{
    MenuBarHook& hook = MenuBarHook::shared();
    connect(&hook, &MenuBarHook::thumbnailUpdateRequested, this, &MenuBarManager::updateThumbnail);
    connect(&hook, &MenuBarHook::wallpaperStatusUpdateRequested, this, &MenuBarManager::updateWallpaperStatus);

    connect(&NotificationCenter::shared(), &NotificationCenter::posted, this, [this](const QString& name) {
        if (name == AutoStartService::didChangeNotification)
            QMetaObject::invokeMethod(this, [this] { syncStartOnLoginItem(); }, Qt::QueuedConnection);
    });

    HomeScreenWallpaperEngine& engine = HomeScreenWallpaperEngine::shared();
    connect(&engine, &HomeScreenWallpaperEngine::isPausedChanged, this, &MenuBarManager::updatePlaylistControls);
    connect(&engine, &HomeScreenWallpaperEngine::currentWallpaperKeyChanged, this, [this] {
        updatePlaylistControls();
        updateThumbnail();
    });
    connect(&AppStore::shared(), &AppStore::baseUrlChanged, this, &MenuBarManager::updateThumbnail);
    connect(&RecentsWallpapersService::shared(), &RecentsWallpapersService::recentsOrderChanged, this,
        &MenuBarManager::updateRecentsMenu);

    const auto playlistsChanged = [this] {
        updatePlaylistsMenu();
        updatePlaylistControls();
    };
    connect(&WallpaperPlaylistService::shared(), &WallpaperPlaylistService::playlistsChanged, this, playlistsChanged);
    PlaylistPlaybackService& playback = PlaylistPlaybackService::shared();
    connect(&playback, &PlaylistPlaybackService::activePlaylistIdChanged, this, playlistsChanged);
    connect(&playback, &PlaylistPlaybackService::isPausedChanged, this, &MenuBarManager::updatePlaylistControls);
    connect(&playback, &PlaylistPlaybackService::isShuffleEnabledChanged, this, &MenuBarManager::updatePlaylistControls);

    // Late sampling passes still reach the readouts.
    connect(&SystemMonitorService::shared(), &SystemMonitorService::passFinished, this, &MenuBarManager::updateResourceReadouts);

    QMetaObject::invokeMethod(this, [this] { refreshAfterCreation(); }, Qt::QueuedConnection);
}

void MenuBarManager::refreshAfterCreation()
{
    updatePlaylistControls();
    updateThumbnail();
    updateRecentsMenu();
    updatePlaylistsMenu();
}

void MenuBarManager::syncStartOnLoginItem() { menu_->startOnLoginItem()->setChecked(AutoStartService::shared().isEnabled()); }

void MenuBarManager::updateWallpaperStatus(bool isRunning)
{
    if (isWallpaperRunning_ != isRunning) {
        isWallpaperRunning_ = isRunning;
        Q_EMIT isWallpaperRunningChanged();
    }
    syncStartOnLoginItem();
    updateThumbnail();
    updatePlaylistControls();
}

std::optional<QUrl> MenuBarManager::thumbnailVideo(qint64 key) const
{
    std::optional<WallpaperModel> model;
    const WallpapersByKey& custom = CustomWallpapersService::shared().customWallpapers();
    const WallpapersByKey& liked = LikedWallpapersService::shared().likedWallpapers();
    if (const auto own = custom.constFind(key); own != custom.cend())
        model = *own;
    else if (const auto partner = liked.constFind(key); partner != liked.cend() && partner->isFromGravelnook)
        model = *partner;
    if (!model)
        return std::nullopt;

    std::optional<QUrl> video = model->masterUrl;
    if (!video && model->imageUrl && model->imageUrl->path().endsWith(QLatin1String(".mp4")))
        video = model->imageUrl;
    // Frames are read from local files only; a remote video is looked at through its cached copy.
    if (video && !video->isLocalFile())
        video = WallpaperDownloadService::shared().cachedFileUrl(key);
    return video;
}

void MenuBarManager::updateThumbnail()
{
    const std::optional<qint64> key = HomeScreenWallpaperEngine::shared().currentWallpaperKey();
    if (!key) {
        thumbnailLoader_->hide();
        return;
    }
    menu_->thumbnailItem()->setVisible(true);
    if (const std::optional<QUrl> video = thumbnailVideo(*key)) {
        thumbnailLoader_->loadVideoFrame(*video);
        return;
    }
    std::optional<QString> host = AppStore::shared().baseUrl();
    if (!host)
        host = savedAssetHost();
    if (const std::optional<QUrl> poster = WallpaperAssets::url(host, *key, WallpaperAssets::File::Poster)) {
        thumbnailLoader_->loadPoster(*key, poster->toString());
    } else {
        thumbnailLoader_->loadCachedPoster(*key);
    }
}

void MenuBarManager::updatePlaylistControls()
{
    const HomeScreenWallpaperEngine& engine = HomeScreenWallpaperEngine::shared();
    const PlaylistPlaybackService& playback = PlaylistPlaybackService::shared();
    const bool hasWallpaper = engine.currentWallpaperKey().has_value();
    const bool canStep = playback.currentPlaylist() && playback.currentPlaylist()->wallpaperKeys.size() > 1;
    menu_->playlistControlsView()->setState({
        .isPaused = engine.isPaused(),
        .isShuffleOn = playback.isShuffleEnabled(),
        .reapplyEnabled = hasWallpaper,
        .previousEnabled = canStep,
        .nextEnabled = canStep,
        .pausePlayEnabled = hasWallpaper,
        .shuffleEnabled = playback.activePlaylistId().has_value(),
    });
}

QString MenuBarManager::recentTitle(const WallpaperModel& wallpaper)
{
    // Catalogue text, shown as every label shows it: no control character or escape sequence.
    if (const QString shown = Text::trimmed(ElidedText::bounded(wallpaper.title)); !shown.isEmpty())
        return shown;
    return tr("Wallpaper %1").arg(wallpaper.key ? QString::number(*wallpaper.key) : QString());
}

QString MenuBarManager::intervalLabel(qint64 seconds)
{
    switch (AutoChangeTimeOption::nearest(seconds).value()) {
    case AutoChangeTimeOption::fiveMinutes: return tr("5 mins");
    case AutoChangeTimeOption::fifteenMinutes: return tr("15 mins");
    case AutoChangeTimeOption::thirtyMinutes: return tr("30 mins");
    case AutoChangeTimeOption::oneHour: return tr("1 hr");
    case AutoChangeTimeOption::sixHours: return tr("6 hrs");
    case AutoChangeTimeOption::daily: return tr("1 day");
    case AutoChangeTimeOption::weekly: return tr("1 week");
    }
    return {};
}

QString MenuBarManager::playlistTitle(const WallpaperPlaylist& playlist)
{
    return playlist.name + QStringLiteral(" (") + QString::number(playlist.wallpaperKeys.size()) + QStringLiteral(") - ")
        + intervalLabel(playlist.autoChangeIntervalSeconds);
}

void MenuBarManager::updateRecentsMenu()
{
    QMenu* submenu = menu_->recentsSubmenu();
    StatusMenu::clearSubmenu(submenu);
    const QList<WallpaperModel> recents = RecentsWallpapersService::shared().recentWallpapersInOrder();
    if (recents.isEmpty()) {
        submenu->addAction(tr("No recent wallpapers"))->setEnabled(false);
        return;
    }
    // Every item starts a picture request: no more items than the list may hold.
    for (const WallpaperModel& wallpaper : recents.first(std::min(recents.size(), RecentsWallpapersService::kMaxRecents))) {
        if (!wallpaper.key)
            continue;
        QAction* item = submenu->addAction(recentTitle(wallpaper));
        item->setData(QVariant::fromValue(wallpaper));
        connect(item, &QAction::triggered, this, [this, item] { selectRecentWallpaper(item); });
        if (const std::optional<QUrl> picture = wallpaper.imageUrl ? wallpaper.imageUrl : wallpaper.posterUrl)
            fireAndForget(loadRecentPicture(item, *picture, PosterCardRules::isLocalVideo(wallpaper)), kType);
    }
}

void MenuBarManager::updatePlaylistsMenu()
{
    QMenu* submenu = menu_->playlistsSubmenu();
    StatusMenu::clearSubmenu(submenu);
    const QList<WallpaperPlaylist>& playlists = WallpaperPlaylistService::shared().playlists();
    if (playlists.isEmpty()) {
        submenu->addAction(tr("No playlists"))->setEnabled(false);
        return;
    }
    const std::optional<QUuid> active = PlaylistPlaybackService::shared().activePlaylistId();
    for (const WallpaperPlaylist& playlist : playlists) {
        QAction* item = submenu->addAction(playlistTitle(playlist));
        item->setData(QVariant::fromValue(playlist));
        item->setCheckable(true);
        item->setChecked(active == playlist.id);
        connect(item, &QAction::triggered, this, [this, item] { selectPlaylistFromMenu(item); });
    }
}

void MenuBarManager::updateResourceReadouts()
{
    const SystemMonitorService& monitor = SystemMonitorService::shared();
    menu_->cpuUsageItem()->setText(tr("CPU: %1").arg(QString::asprintf("%.1f%%", monitor.cpuUsage())));
    menu_->ramUsageItem()->setText(tr("RAM: %1 MB").arg(QString::asprintf("%.0f", monitor.ramUsedMB())));
    menu_->cacheUsageItem()->setText(tr("Cache: %1").arg(monitor.formattedCacheSize()));
}

void MenuBarManager::menuWillOpen()
{
    SystemMonitorService::shared().refreshInBackground(true);
    updatePlaylistControls();
    updateRecentsMenu();
    updatePlaylistsMenu();
    options_.delays.after(kReadoutDelayMs, this, [this] { updateResourceReadouts(); });
}

void MenuBarManager::openApp()
{
    if (!windows_.showMainWindow)
        return;
    logLine(QStringLiteral("🔓 Opening main window from menu bar..."));
    windows_.showMainWindow();
}

QCoro::Task<> MenuBarManager::clearCache()
{
    const QPointer<MenuBarManager> self(this);
    QCoro::Task<int> clearing = CacheService::shared().clearAllCaches();
    co_await clearing;
    RecentsWallpapersService::shared().clearRecents();
    if (self)
        self->updateRecentsMenu();
}

void MenuBarManager::closeAllAppWindows()
{
    if (windows_.closeAllWindows)
        windows_.closeAllWindows();
    log(QStringLiteral("✅"), QStringLiteral("Closed all app windows"));
}

void MenuBarManager::clearRAM()
{
    closeAllAppWindows();
    CacheService::shared().clearRAM();
    ActivationPolicy::shared().setPolicy(ActivationPolicy::Policy::Regular);
    log(QStringLiteral("✅"), QStringLiteral("Cleared RAM and closed windows (windows can be reopened)"));
}

void MenuBarManager::toggleStartOnLogin()
{
    AutoStartService::shared().toggle();
    syncStartOnLoginItem();
}

void MenuBarManager::quitApp()
{
    HomeScreenWallpaperEngine::shared().stopAll();
    updateWallpaperStatus(false);
    options_.terminate();
}

void MenuBarManager::selectRecentWallpaper(const QAction* item)
{
    if (item && item->data().canConvert<WallpaperModel>())
        applyWallpaperFromMenu(item->data().value<WallpaperModel>());
}

void MenuBarManager::selectPlaylistFromMenu(const QAction* item)
{
    if (!item || !item->data().canConvert<WallpaperPlaylist>())
        return;
    const WallpaperPlaylist playlist = item->data().value<WallpaperPlaylist>();
    if (playlist.wallpaperKeys.isEmpty()) {
        logLine(QStringLiteral("Cannot play playlist: no wallpapers"));
        return;
    }
    PlaylistPlaybackService::shared().startPlaylist(playlist);
}

void MenuBarManager::applyWallpaperFromMenu(const WallpaperModel& wallpaper)
{
    PlaylistPlaybackService::shared().deactivatePlaylist();
    if (!wallpaper.masterUrl || !wallpaper.key) {
        logLine(QStringLiteral("Cannot apply wallpaper from menu: missing masterUrl or key"));
        return;
    }
    MenuApplyPipeline::Request request{
        .wallpaper = wallpaper,
        .masterUrl = *wallpaper.masterUrl,
        .key = *wallpaper.key,
        .isCustom = wallpaper.category == QLatin1String("Custom"),
    };
    startRun([request](MenuPipelineRun run) { return MenuApplyPipeline::run(request, std::move(run)); });
}

void MenuBarManager::reapplyWallpaper()
{
    log(QStringLiteral("🔄"), QStringLiteral("Reapply wallpaper called"));
    const std::optional<qint64> current = HomeScreenWallpaperEngine::shared().currentWallpaperKey();
    if (!current) {
        log(QStringLiteral("⚠️"), QStringLiteral("No current wallpaper key, trying saved wallpaper"));
        const auto saved = WallpaperPersistenceService::shared().loadSavedWallpaper();
        if (!saved) {
            log(QStringLiteral("❌"), QStringLiteral("No wallpaper to reapply - no current key and no saved wallpaper"));
            return;
        }
        log(QStringLiteral("✅"), QStringLiteral("Found saved wallpaper: key=") + QString::number(saved->key) + QStringLiteral(", masterUrl=")
            + saved->masterUrl.toString());
        startReapply(saved->key, saved->masterUrl);
        return;
    }
    const QString keyText = QString::number(*current);
    log(QStringLiteral("✅"), QStringLiteral("Current wallpaper key: ") + keyText);
    const auto saved = WallpaperPersistenceService::shared().loadSavedWallpaper();
    if (!saved || saved->key != *current) {
        log(QStringLiteral("❌"), QStringLiteral("Saved wallpaper info not found for key ") + keyText);
        return;
    }
    log(QStringLiteral("✅"), QStringLiteral("Found saved wallpaper info: key=") + keyText + QStringLiteral(", masterUrl=") + saved->masterUrl.toString());
    startReapply(*current, saved->masterUrl);
}

void MenuBarManager::startReapply(qint64 key, const QUrl& masterUrl)
{
    log(QStringLiteral("🔄"), QStringLiteral("Starting reapply for key=") + QString::number(key) + QStringLiteral(", masterUrl=") + masterUrl.toString());
    const MenuReapplyPipeline::Request request{.key = key, .masterUrl = masterUrl};
    startRun([request](MenuPipelineRun run) { return MenuReapplyPipeline::run(request, std::move(run)); });
}

void MenuBarManager::startRun(std::function<QCoro::Task<>(MenuPipelineRun)> body)
{
    // The ticket is taken at the click, so the order of the clicks decides which run is newest.
    HomeScreenWallpaperEngine& engine = HomeScreenWallpaperEngine::shared();
    connect(&engine, &HomeScreenWallpaperEngine::claimed, this, &MenuBarManager::withdrawReplacedToast, Qt::UniqueConnection);
    const MenuPipelineRun run(this, &NotificationManager::shared(), ++lastTicket_, engine.claim(), runsToast_);
    lastRunClaim_ = run.claim();
    ++activeRuns_;
    launch([self = QPointer<MenuBarManager>(this), run, body = std::move(body)] {
        return trackRun(self, body(run), [self] { self->finishRun(); });
    }, kType);
}

void MenuBarManager::withdrawReplacedToast()
{
    if (!lastRunClaim_ || HomeScreenWallpaperEngine::shared().holdsAny(*lastRunClaim_))
        return;
    lastRunClaim_.reset();
    if (*runsToast_ != 0)
        NotificationManager::shared().withdraw(*runsToast_);
}

void MenuBarManager::finishRun()
{
    --activeRuns_;
    Q_EMIT runFinished();
}

void MenuBarManager::togglePlayPause()
{
    HomeScreenWallpaperEngine& engine = HomeScreenWallpaperEngine::shared();
    if (!engine.currentWallpaperKey())
        return;
    PlaylistPlaybackService& playback = PlaylistPlaybackService::shared();
    const bool rotating = playback.activePlaylistId().has_value();
    if (!engine.isPaused()) {
        engine.pause();
        if (rotating && !playback.isPaused())
            playback.togglePause();
    } else {
        engine.resume();
        if (rotating && playback.isPaused())
            playback.togglePause();
    }
}

void MenuBarManager::performPlaylistControl(int index)
{
    PlaylistPlaybackService& playback = PlaylistPlaybackService::shared();
    switch (index) {
    case PlaylistControlsRowView::reapply: reapplyWallpaper(); break;
    case PlaylistControlsRowView::previous: playback.previousWallpaper(); break;
    case PlaylistControlsRowView::pausePlay: togglePlayPause(); break;
    case PlaylistControlsRowView::next: playback.nextWallpaper(); break;
    case PlaylistControlsRowView::shuffle:
        playback.toggleShuffle();
        updatePlaylistControls();
        break;
    default: break;
    }
}

void MenuBarManager::checkForUpdatesWithCacheClear()
{
#if QUORVELLE_SELF_UPDATE
    fireAndForget(::checkForUpdatesWithCacheClear(updaterController_), kType);
#endif
}
