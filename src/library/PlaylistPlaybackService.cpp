#include "library/PlaylistPlaybackService.h"

#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/WallpaperApplyError.h"
#include "engine/WallpaperApplyService.h"
#include "engine/WallpaperManager.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "library/CustomWallpapersService.h"
#include "library/LikedWallpapersService.h"
#include "library/RotationTimer.h"
#include "library/WallpaperPlaylistService.h"
#include "model/WallpaperAssets.h"
#include "state/AppStore.h"
#include "state/AssignChanged.h"

#include <QPointer>
#include <QRandomGenerator>

#include <algorithm>
#include <exception>
#include <random>

namespace {
const QString kType = QStringLiteral("PlaylistPlaybackService");

// Uniform over 0 ... count - 1: the standard distribution rejects the uneven remainder.
qsizetype randomIndex(qsizetype count)
{
    std::uniform_int_distribution<qsizetype> distribution(0, count - 1);
    return distribution(*QRandomGenerator::global());
}

// Upper-case hexadecimal groups 8-4-4-4-12, as the active id is stored.
QString uuidText(const QUuid& id) { return id.toString(QUuid::WithoutBraces).toUpper(); }

std::optional<QUuid> parseUuid(const QString& text)
{
    const QUuid id = QUuid::fromString(text);
    if (text.size() != 36 || id.isNull())
        return std::nullopt;
    return id;
}

std::chrono::milliseconds rotationInterval(const WallpaperPlaylist& playlist)
{
    const qint64 seconds = std::clamp(playlist.autoChangeIntervalSeconds, PlaylistPlaybackService::kShortestIntervalSeconds,
        PlaylistPlaybackService::kLongestIntervalSeconds);
    return std::chrono::seconds(seconds);
}
} // namespace

PlaylistPlaybackService::PlaylistPlaybackService(QObject* parent)
    : PlaylistPlaybackService(UserDefaults::standard(), std::make_unique<RotationTimer>(), parent)
{
}

PlaylistPlaybackService::PlaylistPlaybackService(UserDefaults& defaults, std::unique_ptr<RotationTimer> timer, QObject* parent)
    : QObject(parent), defaults_(defaults), timer_(std::move(timer)), isShuffleEnabled_(defaults.boolean(kShuffleEnabledKey, false))
{
    connect(timer_.get(), &RotationTimer::timeout, this, &PlaylistPlaybackService::handleTimerTick);
    // A wallpaper applied by hand takes the place of the rotation.
    connect(&WallpaperApplyService::shared(), &WallpaperApplyService::manualApplyStarted, this,
        &PlaylistPlaybackService::deactivatePlaylist);
    restoreState();
    observeStores();
    connect(&defaults_, &UserDefaults::fileRead, this, &PlaylistPlaybackService::restoreLateState);
}

PlaylistPlaybackService::~PlaylistPlaybackService() { applyStop_.request_stop(); }

PlaylistPlaybackService& PlaylistPlaybackService::shared() { return Shared<PlaylistPlaybackService>::instance(); }

void PlaylistPlaybackService::startPlaylist(const WallpaperPlaylist& playlist)
{
    if (playlist.wallpaperKeys.isEmpty())
        return;
    stopPlaylist();
    setActivePlaylistId(playlist.id);
    currentPlaylist_ = playlist;
    const qsizetype count = playlist.wallpaperKeys.size();
    currentIndex_ = isShuffleEnabled_ && count >= 2 ? randomIndex(count) : 0;
    setPaused(false);
    refreshCurrentPlaylist();
    if (!currentPlaylist_)
        return; // no longer in the store
    saveState();
    applyCurrentWallpaper();
    startRotationTimer();
    logLine(QStringLiteral("▶️"), kType, QStringLiteral("Started playlist: ") + playlist.name);
}

void PlaylistPlaybackService::stopPlaylist()
{
    endRotation();
    if (!activePlaylistId_)
        return;
    setActivePlaylistId(std::nullopt);
    saveState();
    WallpaperManager::removeWallpaper();
    logLine(QStringLiteral("⏸️"), kType, QStringLiteral("Stopped playlist playback"));
}

void PlaylistPlaybackService::stopPlaylistIfActive(const QUuid& playlistId)
{
    if (isPlaylistActive(playlistId))
        stopPlaylist();
}

void PlaylistPlaybackService::deactivatePlaylist()
{
    endRotation();
    if (!activePlaylistId_)
        return;
    setActivePlaylistId(std::nullopt);
    saveState();
}

void PlaylistPlaybackService::nextWallpaper() { stepAndApply(+1); }

void PlaylistPlaybackService::previousWallpaper() { stepAndApply(-1); }

void PlaylistPlaybackService::stepAndApply(int direction)
{
    if (!currentPlaylist_)
        return;
    refreshCurrentPlaylist();
    if (!currentPlaylist_)
        return;
    step(direction);
    applyCurrentWallpaper();
}

void PlaylistPlaybackService::handleTimerTick()
{
    if (!currentPlaylist_ || currentPlaylist_->wallpaperKeys.isEmpty())
        return;
    refreshCurrentPlaylist();
    if (!currentPlaylist_)
        return;
    step(+1);
    applyCurrentWallpaper();
}

void PlaylistPlaybackService::step(int direction)
{
    const qsizetype count = currentPlaylist_->wallpaperKeys.size();
    if (!isShuffleEnabled_) {
        currentIndex_ = (currentIndex_ + direction + count) % count;
        return;
    }
    if (count == 1) {
        currentIndex_ = 0;
        return;
    }
    // Never the same wallpaper twice in a row.
    qsizetype next = currentIndex_;
    while (next == currentIndex_)
        next = randomIndex(count);
    currentIndex_ = next;
}

void PlaylistPlaybackService::toggleShuffle()
{
    if (!activePlaylistId_)
        return;
    isShuffleEnabled_ = !isShuffleEnabled_;
    defaults_.setBool(kShuffleEnabledKey, isShuffleEnabled_);
    Q_EMIT isShuffleEnabledChanged();
    refreshCurrentPlaylist();
}

void PlaylistPlaybackService::togglePause()
{
    if (!activePlaylistId_)
        return;
    setPaused(!isPaused_);
    if (isPaused_)
        timer_->stop();
    else
        startRotationTimer();
}

void PlaylistPlaybackService::startRotationTimer()
{
    if (!currentPlaylist_ || isPaused_)
        return;
    timer_->start(rotationInterval(*currentPlaylist_));
}

void PlaylistPlaybackService::refreshCurrentPlaylist()
{
    if (!activePlaylistId_)
        return;
    const std::optional<WallpaperPlaylist> stored = WallpaperPlaylistService::shared().playlist(*activePlaylistId_);
    if (!stored || stored->wallpaperKeys.isEmpty()) {
        // Nothing left to rotate through; the wallpaper on screen stays.
        deactivatePlaylist();
        return;
    }
    currentPlaylist_ = stored;
    currentIndex_ = std::min(currentIndex_, stored->wallpaperKeys.size() - 1);
}

void PlaylistPlaybackService::applyCurrentWallpaper()
{
    if (!currentPlaylist_ || currentIndex_ >= currentPlaylist_->wallpaperKeys.size())
        return;
    if (applyRunning_) {
        applyPending_ = true;
        return;
    }
    std::optional<WallpaperApplyRequest> request = requestFor(currentPlaylist_->wallpaperKeys.at(currentIndex_));
    lastAttemptSkipped_ = !request;
    if (!request)
        return;
    request->cancel = applyStop_.get_token();
    setApplyRunning(true);
    launch([self = QPointer<PlaylistPlaybackService>(this), request = std::move(*request)] {
        return runApply(self, request);
    }, kType);
}

std::optional<WallpaperApplyRequest> PlaylistPlaybackService::requestFor(qint64 key) const
{
    // An own wallpaper plays its local file; its key names nothing on the asset host.
    CustomWallpapersService& own = CustomWallpapersService::shared();
    if (const auto found = own.customWallpapers().constFind(key); found != own.customWallpapers().constEnd()) {
        const std::optional<QUrl>& master = found->masterUrl;
        const QUrl file = master && master->isLocalFile()
            ? *master
            : QUrl::fromLocalFile(own.folderPath() + u'/' + QString::number(key) + QStringLiteral(".mp4"));
        return WallpaperApplyRequest{.key = key, .videoURL = file, .wallpaper = *found, .isCustom = true, .fromPlaylist = true};
    }

    std::optional<WallpaperModel> model;
    const WallpapersByKey& liked = LikedWallpapersService::shared().likedWallpapers();
    if (const auto found = liked.constFind(key); found != liked.constEnd())
        model = *found;
    QUrl videoURL;
    if (model && model->masterUrl) {
        videoURL = *model->masterUrl;
    } else if (const std::optional<QUrl> master = WallpaperAssets::url(AppStore::shared().baseUrl(), key, WallpaperAssets::File::Master)) {
        videoURL = *master;
    } else {
        return std::nullopt;
    }
    return WallpaperApplyRequest{.key = key, .videoURL = videoURL, .wallpaper = model, .fromPlaylist = true};
}

QCoro::Task<> PlaylistPlaybackService::runApply(QPointer<PlaylistPlaybackService> self, WallpaperApplyRequest request)
{
    std::optional<QString> failure;
    try {
        co_await WallpaperApplyService::shared().applyWallpaper(request);
    } catch (const WallpaperApplyError& error) {
        // A cancelled step was replaced on purpose; anything else is a failure.
        if (error.kind() != WallpaperApplyError::Kind::cancelled)
            failure = error.localizedDescription();
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    if (failure) {
        logLine(QStringLiteral("⚠️"), kType,
            QStringLiteral("Failed to apply wallpaper ") + QString::number(request.key) + QStringLiteral(": ") + *failure);
    }
    if (!self)
        co_return;
    self->setApplyRunning(false);
    if (std::exchange(self->applyPending_, false))
        self->applyCurrentWallpaper();
}

void PlaylistPlaybackService::saveState()
{
    if (activePlaylistId_)
        defaults_.setString(kActivePlaylistIdKey, uuidText(*activePlaylistId_));
    else
        defaults_.remove(kActivePlaylistIdKey);
}

void PlaylistPlaybackService::endRotation()
{
    timer_->stop();
    currentPlaylist_.reset();
    currentIndex_ = 0;
    applyPending_ = false;
    lastAttemptSkipped_ = false;
    // The running apply ends before it reaches the desktop.
    applyStop_.request_stop();
    applyStop_ = std::stop_source();
}

void PlaylistPlaybackService::restoreState()
{
    if (!defaults_.contains(kActivePlaylistIdKey))
        return;
    // Text that is no id leaves no active playlist; it stays stored.
    const std::optional<QUuid> id = parseUuid(defaults_.string(kActivePlaylistIdKey));
    if (!id)
        return;
    setActivePlaylistId(id);
    const WallpaperPlaylistService& playlists = WallpaperPlaylistService::shared();
    const std::optional<WallpaperPlaylist> stored = playlists.playlist(*id);
    if (!stored || stored->wallpaperKeys.isEmpty()) {
        setActivePlaylistId(std::nullopt);
        // A playlist that could not be read is still stored as it was; the id stays with it.
        if (!stored && playlists.isIncomplete()) {
            logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Active playlist not among the readable playlists; keeping its id"));
            return;
        }
        defaults_.remove(kActivePlaylistIdKey);
        return;
    }
    currentPlaylist_ = stored;
    const qsizetype count = stored->wallpaperKeys.size();
    currentIndex_ = isShuffleEnabled_ && count >= 2 ? randomIndex(count) : 0;
    refreshCurrentPlaylist();
    startRotationTimer();
    applyCurrentWallpaper();
}

void PlaylistPlaybackService::restoreLateState()
{
    // Choices made meanwhile are in the file's values now, so the stored ones are the user's.
    const bool shuffle = defaults_.boolean(kShuffleEnabledKey, false);
    if (std::exchange(isShuffleEnabled_, shuffle) != shuffle)
        Q_EMIT isShuffleEnabledChanged();
    if (!activePlaylistId_)
        restoreState();
}

void PlaylistPlaybackService::observeStores()
{
    WallpaperPlaylistService& playlists = WallpaperPlaylistService::shared();
    connect(&playlists, &WallpaperPlaylistService::playlistDeleted, this, &PlaylistPlaybackService::stopPlaylistIfActive);
    connect(&playlists, &WallpaperPlaylistService::allPlaylistsDeleted, this, &PlaylistPlaybackService::stopPlaylist);
    connect(&playlists, &WallpaperPlaylistService::playlistsChanged, this, &PlaylistPlaybackService::handlePlaylistsChange);

    AppStore& store = AppStore::shared();
    lastBaseUrl_ = store.baseUrl();
    connect(&store, &AppStore::baseUrlChanged, this, &PlaylistPlaybackService::handleBaseUrlChange, Qt::QueuedConnection);
}

void PlaylistPlaybackService::handlePlaylistsChange()
{
    // A deleted playlist is stopped through playlistDeleted(); an emptied one ends here.
    if (!activePlaylistId_)
        return;
    const std::optional<WallpaperPlaylist> stored = WallpaperPlaylistService::shared().playlist(*activePlaylistId_);
    if (stored && stored->wallpaperKeys.isEmpty())
        deactivatePlaylist();
}

void PlaylistPlaybackService::handleBaseUrlChange()
{
    const std::optional<QString> baseUrl = AppStore::shared().baseUrl();
    if (baseUrl == lastBaseUrl_)
        return;
    lastBaseUrl_ = baseUrl;
    if (!baseUrl || !currentPlaylist_ || applyRunning_)
        return;
    // Only a step that could not be applied without the host, or an empty desktop, is applied
    // again; a wallpaper already showing stays.
    if (lastAttemptSkipped_ || !HomeScreenWallpaperEngine::shared().currentWallpaperKey())
        applyCurrentWallpaper();
}

void PlaylistPlaybackService::setActivePlaylistId(std::optional<QUuid> id)
{
    if (assignChanged(activePlaylistId_, std::move(id)))
        Q_EMIT activePlaylistIdChanged();
}

void PlaylistPlaybackService::setPaused(bool paused)
{
    if (assignChanged(isPaused_, paused))
        Q_EMIT isPausedChanged();
}

void PlaylistPlaybackService::setApplyRunning(bool running)
{
    if (assignChanged(applyRunning_, running))
        Q_EMIT isApplyingChanged();
}
