#include "menubar/MenuBarFixture.h"

#include "app/LaunchReapply.h"
#include "app/NetworkReturn.h"
#include "support/Eventually.h"
#include "support/HeldMasterServer.h"

#include <memory>

namespace {

// Every road by which a wallpaper reaches the desktop.
enum class Surface { mainWindow, playlist, trayApply, trayReapply, launch };

const char* nameOf(Surface surface)
{
    switch (surface) {
    case Surface::mainWindow: return "main window";
    case Surface::playlist: return "playlist";
    case Surface::trayApply: return "tray apply";
    case Surface::trayReapply: return "tray re-apply";
    case Surface::launch: return "launch";
    }
    return "";
}

// Two choices from two surfaces: the older one's master is held by a slow server while the newer
// one (its master cached) lands; then the older one resumes. Whatever the surfaces, the newer
// choice stays on its displays and in their records.
class NewestChoiceTest : public MenuBarFixture {
protected:
    static constexpr qint64 kOlder = kOtherCatalogueKey;
    static constexpr qint64 kNewer = kCatalogueKey;

    NewestChoiceTest() { waitUntil([this] { return !liked_.isLoading(); }); }

    static QByteArray clipBytes()
    {
        QFile file(clipPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Starts a choice of `key`, its master at `master`, from `surface`; the newer choice of the
    // main window may name the first display alone.
    void choose(Surface surface, qint64 key, const QUrl& master, bool firstDisplayOnly = false)
    {
        WallpaperModel wallpaper = record(key, QStringLiteral("Wallpaper %1").arg(key));
        wallpaper.masterUrl = master;
        auto done = std::make_shared<bool>(false);
        unfinished_.append([done] { return *done; });
        switch (surface) {
        case Surface::mainWindow: {
            WallpaperApplyRequest request{.key = key, .videoURL = master, .wallpaper = wallpaper};
            if (firstDisplayOnly)
                request.screenIndices = QSet<int>{0};
            fireAndForget(finish(service_.applyWallpaper(std::move(request)), done));
            return;
        }
        case Surface::playlist: {
            liked_.addWallpaper(wallpaper, true);
            const WallpaperPlaylist created = playlists_.createPlaylist(QStringLiteral("Evenings"), 300);
            playlists_.setWallpaperKeys({key}, created.id);
            QObject::connect(&rotation_, &PlaylistPlaybackService::isApplyingChanged, &rotation_, [this, done] {
                if (!rotation_.isApplying())
                    *done = true;
            });
            rotation_.startPlaylist(*playlists_.playlist(created.id));
            return;
        }
        case Surface::trayApply:
            recents_.addWallpaper(wallpaper);
            settle();
            recentItem(wallpaper.title)->trigger();
            *done = true; // the tray's runs are awaited together
            return;
        case Surface::trayReapply:
            manager_->startReapply(key, master);
            *done = true;
            return;
        case Surface::launch:
            persistence_.clearAllPerMonitorWallpapers();
            persistence_.saveWallpaper(key, master);
            launches_.push_back(std::make_unique<LaunchReapply>(menuDelays_.delays(), network_));
            fireAndForget(finish(launches_.back()->run(false), done));
            return;
        }
    }
    static QCoro::Task<> finish(QCoro::Task<> task, std::shared_ptr<bool> done)
    {
        try {
            co_await std::move(task);
        } catch (const std::exception&) {
            // Replaced by the newer choice: what matters is what the desktop shows.
        }
        *done = true;
    }
    bool everythingEnded() const
    {
        return manager_->activeRuns() == 0
            && std::all_of(unfinished_.begin(), unfinished_.end(), [](const std::function<bool()>& done) { return done(); });
    }
    std::optional<qint64> keyOn(const ScreenInfo& screen) const
    {
        const auto found = engine_.entries().find(HomeScreenWallpaperEngine::displayID(screen));
        return found == engine_.entries().end() ? std::nullopt : found->second.wallpaperKey;
    }
    std::optional<qint64> recordOf(const ScreenInfo& screen) const
    {
        const auto saved = persistence_.loadPerMonitorWallpaper(HomeScreenWallpaperEngine::displayPersistenceID(screen));
        return saved ? std::optional<qint64>(saved->key) : std::nullopt;
    }

    NetworkReturn network_{false};
    QList<std::function<bool()>> unfinished_;
    std::vector<std::unique_ptr<LaunchReapply>> launches_;
};

TEST_F(NewestChoiceTest, TheNewestChoiceWinsWhateverTheSurfaces)
{
    const Surface all[] = {Surface::mainWindow, Surface::playlist, Surface::trayApply, Surface::trayReapply, Surface::launch};
    struct Pair {
        Surface older;
        Surface newer;
        bool firstDisplayOnly;
    };
    QList<Pair> pairs;
    for (const Surface older : all) {
        for (const Surface newer : all) {
            // A launch with an active playlist leaves it to the rotation; the tray's two runs
            // and a surface against itself are the surfaces' own tests.
            const bool tray = (older == Surface::trayApply || older == Surface::trayReapply)
                && (newer == Surface::trayApply || newer == Surface::trayReapply);
            if (older == newer || tray || (older == Surface::playlist && newer == Surface::launch))
                continue;
            pairs.append({older, newer, false});
        }
        if (older != Surface::mainWindow)
            pairs.append({older, Surface::mainWindow, true});
    }
    const ScreenInfo first = screens_.screens().at(0);
    const ScreenInfo second = screens_.screens().at(1);

    for (const Pair& pair : pairs) {
        SCOPED_TRACE(std::string(nameOf(pair.older)) + " then " + nameOf(pair.newer) + (pair.firstDisplayOnly ? " on the first display" : ""));
        TempFolder fresh;
        engine_.stopAll();
        rotation_.deactivatePlaylist();
        persistence_.clearAllPerMonitorWallpapers();
        persistence_.clearSavedWallpaper();
        unfinished_.clear();
        // Records of an earlier case name an earlier server.
        recents_.clearRecents();
        liked_.removeWallpaper(std::optional<qint64>(kOlder));
        liked_.removeWallpaper(std::optional<qint64>(kNewer));
        settle();
        HeldMasterServer held(clipBytes(), 0);
        cachedRequest(kNewer);

        choose(pair.older, kOlder, held.masterUrl(kOlder));
        ASSERT_EVENTUALLY(held.held() == 1, kWaitMs);
        choose(pair.newer, kNewer, masterUrl(kNewer), pair.firstDisplayOnly);
        ASSERT_EVENTUALLY(keyOn(first) == kNewer, kWaitMs);
        held.release();
        ASSERT_EVENTUALLY(everythingEnded(), kWaitMs);
        settle();

        EXPECT_EQ(keyOn(first), kNewer);
        EXPECT_EQ(recordOf(first), kNewer);
        EXPECT_EQ(persistence_.loadSavedWallpaper()->key, kNewer);
        if (!pair.firstDisplayOnly) {
            EXPECT_EQ(keyOn(second), kNewer);
            EXPECT_EQ(recordOf(second), kNewer);
        } else if (pair.older != Surface::playlist) {
            // The older choice named every display: the one nobody chose for since gets it.
            EXPECT_EQ(keyOn(second), kOlder);
            EXPECT_EQ(recordOf(second), kOlder);
        }
    }
}

} // namespace
