#include "engine/HomeScreenWallpaperEngine.h"

#include "engine/EngineError.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "platform/DesktopVideoWindow.h"
#include "platform/LiveWallpaperSupport.h"
#include "platform/Screens.h"
#include "platform/VideoSurface.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace {
// Only a local file that can be read is played: the engine never fetches anything itself.
bool isPlayableFile(const QUrl& url)
{
    if (!url.isLocalFile())
        return false;
    const QFileInfo file(url.toLocalFile());
    return file.isFile() && file.isReadable();
}
} // namespace

HomeScreenWallpaperEngine::HomeScreenWallpaperEngine(QObject* parent)
    : HomeScreenWallpaperEngine(Screens::shared(), UserDefaults::standard(), {}, parent)
{
}

HomeScreenWallpaperEngine::HomeScreenWallpaperEngine(Screens& screens, UserDefaults& defaults, WindowFactory makeWindow,
                                                     QObject* parent)
    : QObject(parent), screens_(screens), persistence_(defaults), makeWindow_(std::move(makeWindow))
{
    if (!makeWindow_)
        makeWindow_ = [] { return std::make_unique<DesktopVideoWindow>(); };
}

HomeScreenWallpaperEngine::~HomeScreenWallpaperEngine() = default;

HomeScreenWallpaperEngine& HomeScreenWallpaperEngine::shared() { return Shared<HomeScreenWallpaperEngine>::instance(); }

quint32 HomeScreenWallpaperEngine::displayID(const ScreenInfo& screen) { return screen.displayId; }

QString HomeScreenWallpaperEngine::displayPersistenceID(const ScreenInfo& screen)
{
    return screen.persistenceName + QLatin1Char('_') + QString::number(screen.geometry.width()) + QLatin1Char('x')
        + QString::number(screen.geometry.height());
}

void HomeScreenWallpaperEngine::start(const QUrl& videoURL, std::optional<qint64> wallpaperKey,
                                      const std::optional<QSet<int>>& screenIndices)
{
    checkCanStart(videoURL);
    land(videoURL, wallpaperKey, claim(screenIndices));
    // Also when no position named an attached display.
    refreshCurrentKey();
    installSpaceChangeObserver();
    setPausedFlag(false);
}

void HomeScreenWallpaperEngine::checkCanStart(const QUrl& videoURL) const
{
    if (screens_.screens().isEmpty())
        throw EngineError::unknown(QStringLiteral("No connected displays were detected."));
    if (!isPlayableFile(videoURL))
        throw EngineError::missingVideo(videoURL);
}

DesktopClaim HomeScreenWallpaperEngine::claim(const std::optional<QSet<int>>& screenIndices)
{
    DesktopClaim made{.number = ++claims_};
    if (!screenIndices) {
        claimedEverywhere_ = made.number;
        Q_EMIT claimed();
        return made;
    }
    // Positions name displays as they are now: the choice stays with those displays.
    const QList<ScreenInfo> screens = screens_.screens();
    made.displays.emplace();
    for (const int index : *screenIndices) {
        if (index < 0 || index >= screens.size())
            continue;
        const quint32 id = displayID(screens[index]);
        made.displays->insert(id);
        claimedDisplays_.insert(id, made.number);
    }
    Q_EMIT claimed();
    return made;
}

DesktopClaim HomeScreenWallpaperEngine::claimDisplay(quint32 id)
{
    const DesktopClaim made{.number = ++claims_, .displays = QSet<quint32>{id}};
    claimedDisplays_.insert(id, made.number);
    Q_EMIT claimed();
    return made;
}

quint64 HomeScreenWallpaperEngine::newestClaimOn(quint32 id) const
{
    return std::max(claimedDisplays_.value(id, 0), claimedEverywhere_);
}

bool HomeScreenWallpaperEngine::holds(const DesktopClaim& claim, quint32 id) const { return newestClaimOn(id) <= claim.number; }

QList<ScreenInfo> HomeScreenWallpaperEngine::attachedScreensOf(const DesktopClaim& claim) const
{
    QList<ScreenInfo> attached = screens_.screens();
    if (claim.displays)
        attached.removeIf([&](const ScreenInfo& screen) { return !claim.displays->contains(displayID(screen)); });
    return attached;
}

bool HomeScreenWallpaperEngine::holdsAny(const DesktopClaim& claim) const
{
    const QList<ScreenInfo> attached = attachedScreensOf(claim);
    if (attached.isEmpty()) {
        const QSet<quint32> named = claim.displays.value_or(QSet<quint32>());
        return claimedEverywhere_ <= claim.number
            && std::all_of(named.begin(), named.end(), [&](quint32 id) { return holds(claim, id); });
    }
    return std::any_of(attached.begin(), attached.end(), [&](const ScreenInfo& screen) { return holds(claim, displayID(screen)); });
}

bool HomeScreenWallpaperEngine::holdsAll(const DesktopClaim& claim) const
{
    const QList<ScreenInfo> attached = attachedScreensOf(claim);
    return std::all_of(attached.begin(), attached.end(), [&](const ScreenInfo& screen) { return holds(claim, displayID(screen)); });
}

int HomeScreenWallpaperEngine::land(const QUrl& videoURL, std::optional<qint64> wallpaperKey, const DesktopClaim& claim)
{
    checkCanStart(videoURL);
    const QList<ScreenInfo> attached = attachedScreensOf(claim);
    QList<ScreenInfo> held = attached;
    held.removeIf([&](const ScreenInfo& screen) { return !holds(claim, displayID(screen)); });
    if (held.isEmpty())
        return 0;
    // The whole desktop is this choice's: what plays on displays no longer attached goes too.
    if (!claim.displays && held.size() == attached.size())
        clearEntries();
    for (const ScreenInfo& screen : held)
        showOnScreen(screen, displayID(screen), videoURL, wallpaperKey);
    refreshCurrentKey();
    installSpaceChangeObserver();
    setPausedFlag(false);
    return int(held.size());
}

bool HomeScreenWallpaperEngine::landOnScreen(const ScreenInfo& screen, const QUrl& videoURL, qint64 wallpaperKey,
                                             const DesktopClaim& claim)
{
    const quint32 id = displayID(screen);
    if (!holds(claim, id))
        return false;
    showOnScreen(screen, id, videoURL, wallpaperKey);
    return true;
}

void HomeScreenWallpaperEngine::applyToScreen(const ScreenInfo& screen, quint32 id, const QUrl& videoURL,
                                              std::optional<qint64> wallpaperKey)
{
    if (!isPlayableFile(videoURL))
        throw EngineError::missingVideo(videoURL);
    claimDisplay(id);
    showOnScreen(screen, id, videoURL, wallpaperKey);
}

void HomeScreenWallpaperEngine::showOnScreen(const ScreenInfo& screen, quint32 id, const QUrl& videoURL,
                                             std::optional<qint64> wallpaperKey)
{
    if (!isPlayableFile(videoURL))
        throw EngineError::missingVideo(videoURL);

    // The old window goes just before the new one shows.
    removeEntry(id);
    entries_.insert_or_assign(id, ScreenEntry(id, makeDesktopWindow(screen, id, videoURL), wallpaperKey, videoURL));
    Q_EMIT entriesChanged();

    if (wallpaperKey)
        persistence_.savePerMonitorWallpaper(displayPersistenceID(screen), *wallpaperKey, videoURL);
    saveMainScreenWallpaper();
    refreshCurrentKey();
    installSpaceChangeObserver();
    // Only the flag: other displays paused before stay paused.
    setPausedFlag(false);
}

bool HomeScreenWallpaperEngine::drawsLiveWallpaper() const { return LiveWallpaperSupport::shared().isAvailable(); }

bool HomeScreenWallpaperEngine::takeStillPictureNotice()
{
    if (drawsLiveWallpaper() || stillPictureNoticeTaken_)
        return false;
    stillPictureNoticeTaken_ = true;
    return true;
}

std::optional<QString> HomeScreenWallpaperEngine::coveredNotice() const
{
    if (entries_.empty() || !drawsLiveWallpaper())
        return std::nullopt;
    return LiveWallpaperSupport::shared().obstacle();
}

std::unique_ptr<DesktopVideoWindow> HomeScreenWallpaperEngine::makeDesktopWindow(const ScreenInfo& screen, quint32 id,
                                                                                 const QUrl& videoURL)
{
    // Where nothing can go below the windows, a window would only stand in front of them
    // pretending to be the wallpaper: the entry keeps the choice, the still picture shows it.
    if (!drawsLiveWallpaper())
        return nullptr;
    std::unique_ptr<DesktopVideoWindow> window = makeWindow_();
    window->setScreenGeometry(screen.geometry);
    connect(window->surface(), &VideoSurface::error, this,
            [this, id, raw = window.get()](const QString& message) { handlePlaybackFailure(raw, id, message); });
    window->surface()->load(videoURL);
    window->show();
    return window;
}

void HomeScreenWallpaperEngine::handlePlaybackFailure(const DesktopVideoWindow* window, quint32 id, const QString& message)
{
    const auto found = entries_.find(id);
    if (found == entries_.end() || found->second.window.get() != window)
        return;
    // A window that will never show a frame would only cover the desktop picture in black.
    found->second.playbackFailed = true;
    found->second.window->hide();
    Q_EMIT playbackFailed(id, message);
}

bool HomeScreenWallpaperEngine::removeEntry(quint32 id)
{
    // Dropping the entry deletes its window, which hides it and ends its player.
    return entries_.erase(id) > 0;
}

void HomeScreenWallpaperEngine::removeWallpaper(quint32 id)
{
    claimDisplay(id);
    if (removeEntry(id))
        Q_EMIT entriesChanged();
    refreshCurrentKey();
    for (const ScreenInfo& screen : screens_.screens()) {
        if (displayID(screen) == id) {
            persistence_.removePerMonitorWallpaper(displayPersistenceID(screen));
            return;
        }
    }
}

void HomeScreenWallpaperEngine::stopAll()
{
    claim();
    clearEntries();
}

void HomeScreenWallpaperEngine::clearEntries()
{
    removeSpaceChangeObserver();
    if (!entries_.empty()) {
        entries_.clear();
        Q_EMIT entriesChanged();
    }
    if (currentWallpaperKey_) {
        currentWallpaperKey_.reset();
        Q_EMIT currentWallpaperKeyChanged();
    }
    setPausedFlag(false);
}

void HomeScreenWallpaperEngine::pause()
{
    for (const auto& [id, entry] : entries_) {
        if (entry.window)
            entry.window->surface()->setPaused(true);
    }
    setPausedFlag(true);
}

void HomeScreenWallpaperEngine::resume()
{
    for (const auto& [id, entry] : entries_) {
        if (entry.window)
            entry.window->surface()->setPaused(false);
    }
    setPausedFlag(false);
}

bool HomeScreenWallpaperEngine::isShowing(qint64 wallpaperKey) const
{
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const auto& item) { return item.second.wallpaperKey == wallpaperKey; });
}

void HomeScreenWallpaperEngine::saveMainScreenWallpaper()
{
    // The single saved wallpaper follows the main display alone.
    const std::optional<ScreenInfo> main = screens_.mainScreen();
    if (!main)
        return;
    const auto found = entries_.find(displayID(*main));
    if (found != entries_.end() && found->second.wallpaperKey)
        persistence_.saveWallpaper(*found->second.wallpaperKey, found->second.videoURL);
}

void HomeScreenWallpaperEngine::refreshCurrentKey()
{
    const std::optional<qint64> key = entries_.empty() ? std::nullopt : entries_.begin()->second.wallpaperKey;
    if (key == currentWallpaperKey_)
        return;
    currentWallpaperKey_ = key;
    Q_EMIT currentWallpaperKeyChanged();
}

void HomeScreenWallpaperEngine::setPausedFlag(bool paused)
{
    if (paused == isPaused_)
        return;
    isPaused_ = paused;
    Q_EMIT isPausedChanged();
}

void HomeScreenWallpaperEngine::installSpaceChangeObserver()
{
    // The windows are on every workspace (the window manager keeps them there), so a workspace
    // switch needs nothing from us; what can still knock them off their displays is a change of
    // the screen layout, so that is what this observer follows.
    if (!spaceChangeObserver_)
        spaceChangeObserver_ =
            connect(&screens_, &Screens::parametersChanged, this, &HomeScreenWallpaperEngine::handleActiveSpaceChange);
}

void HomeScreenWallpaperEngine::removeSpaceChangeObserver()
{
    if (spaceChangeObserver_)
        disconnect(spaceChangeObserver_);
    spaceChangeObserver_ = {};
}

void HomeScreenWallpaperEngine::handleActiveSpaceChange()
{
    updateWindowFrames();
    for (const auto& [id, entry] : entries_) {
        if (entry.window && !entry.playbackFailed)
            entry.window->show();
    }
}

void HomeScreenWallpaperEngine::updateWindowFrames()
{
    QHash<quint32, QRect> frames;
    for (const ScreenInfo& screen : screens_.screens())
        frames.insert(displayID(screen), screen.geometry);
    for (const auto& [id, entry] : entries_) {
        if (const auto found = frames.constFind(id); entry.window && found != frames.cend())
            entry.window->setScreenGeometry(*found);
    }
}

void HomeScreenWallpaperEngine::handleScreenConfigurationChange()
{
    // Kept for the case where every display it plays on is replaced at once (docking, outputs
    // renamed after a mode change): the wallpaper carries on on the new displays.
    std::optional<std::pair<QUrl, std::optional<qint64>>> playing;
    if (!entries_.empty())
        playing.emplace(entries_.begin()->second.videoURL, entries_.begin()->second.wallpaperKey);
    updateWindowFrames();
    const QMap<QString, PerMonitorEntry> records = persistence_.loadPerMonitorWallpapers();
    for (const ScreenInfo& screen : screens_.screens()) {
        const quint32 id = displayID(screen);
        if (entries_.contains(id))
            continue;
        const auto record = records.constFind(displayPersistenceID(screen));
        if (record == records.cend())
            continue;
        const auto url = WallpaperPersistenceService::storedUrl(record->masterUrlString);
        if (!url || !isPlayableFile(*url))
            continue;
        try {
            showOnScreen(screen, id, *url, record->key);
        } catch (const EngineError&) {
            // The next display still gets its wallpaper.
        }
    }
    removeEntriesForDisconnectedDisplays();
    if (entries_.empty() && playing) {
        for (const ScreenInfo& screen : screens_.screens()) {
            try {
                showOnScreen(screen, displayID(screen), playing->first, playing->second);
            } catch (const EngineError&) {
                // The file went meanwhile: nothing can carry on.
            }
        }
    }
    saveMainScreenWallpaper();
    refreshCurrentKey();
}

void HomeScreenWallpaperEngine::removeEntriesForDisconnectedDisplays()
{
    QSet<quint32> connected;
    for (const ScreenInfo& screen : screens_.screens())
        connected.insert(displayID(screen));
    // Their records stay, so a display that comes back gets its wallpaper again.
    const auto removed = std::erase_if(entries_, [&](const auto& item) { return !connected.contains(item.first); });
    if (removed > 0)
        Q_EMIT entriesChanged();
}

void HomeScreenWallpaperEngine::reapplySavedPerMonitorWallpapers()
{
    if (entries_.empty())
        return;
    QList<ScreenInfo> uncovered;
    for (const ScreenInfo& screen : screens_.screens()) {
        if (!entries_.contains(displayID(screen)))
            uncovered.append(screen);
    }
    if (uncovered.isEmpty())
        return;

    for (const ScreenInfo& screen : uncovered) {
        const quint32 id = displayID(screen);
        try {
            const auto saved = persistence_.loadPerMonitorWallpaper(displayPersistenceID(screen));
            if (saved && isPlayableFile(saved->masterUrl)) {
                showOnScreen(screen, id, saved->masterUrl, saved->key);
            } else {
                // Without its own wallpaper the display mirrors one already showing. The address is
                // copied: the apply may replace that very entry when two displays share an id.
                const ScreenEntry& first = entries_.begin()->second;
                showOnScreen(screen, id, QUrl(first.videoURL), first.wallpaperKey);
            }
        } catch (const EngineError&) {
            // The next display still gets its wallpaper.
        }
    }
    refreshCurrentKey();
}
