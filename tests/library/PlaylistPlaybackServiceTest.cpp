#include "engine/ApplyHarness.h"
#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"

#include "support/Eventually.h"
#include "support/SettingsReadFault.h"

#include <QRegularExpression>

#include <cerrno>
#include <functional>

namespace {

using namespace std::chrono_literals;

// The rotation over the real apply pipeline, driven by a hand-fired timer. Its wallpapers are
// own videos (applied from local files) unless a test says otherwise.
class PlaylistPlaybackServiceTest : public ApplyHarness {
protected:
    PlaylistPlaybackServiceTest()
    {
        QObject::connect(&rotation_, &PlaylistPlaybackService::isApplyingChanged, &rotation_, [this] {
            if (rotation_.isApplying())
                ++applies_;
        });
    }

    // Own wallpapers with these keys, each a copy of the test loop.
    void addOwn(const QList<qint64>& keys)
    {
        for (const qint64 key : keys)
            custom_.addCustomWallpaper(*customRequest(key).wallpaper);
    }
    WallpaperPlaylist makePlaylist(const QList<qint64>& keys, qint64 interval = 300, const QString& name = QStringLiteral("Beaches"))
    {
        const WallpaperPlaylist created = playlists_.createPlaylist(name, interval);
        playlists_.setWallpaperKeys(keys, created.id);
        return *playlists_.playlist(created.id);
    }
    WallpaperPlaylist ownPlaylist(const QList<qint64>& keys, qint64 interval = 300)
    {
        addOwn(keys);
        return makePlaylist(keys, interval);
    }
    // Lets the running apply (and one that was waiting for it) end.
    void settle(PlaylistPlaybackService& rotation)
    {
        QCoreApplication::processEvents();
        EXPECT_TRUE(waitUntil([&] { return !rotation.isApplying(); }));
    }
    void settle() { settle(rotation_); }
    qint64 keyAtIndex() const { return rotation_.currentPlaylist()->wallpaperKeys.at(rotation_.currentIndex()); }
    QString storedId() { return defaults_.string(PlaylistPlaybackService::kActivePlaylistIdKey); }

    int applies_ = 0;
};

TEST_F(PlaylistPlaybackServiceTest, StartingAppliesTheFirstWallpaperRemembersThePlaylistAndStartsTheTimer)
{
    const WallpaperPlaylist playlist = ownPlaylist({11, 12, 13}, 900);
    rotation_.startPlaylist(playlist);
    settle();

    EXPECT_EQ(shownKey(), 11);
    EXPECT_EQ(rotation_.activePlaylistId(), playlist.id);
    EXPECT_TRUE(rotation_.isPlaylistActive(playlist.id));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$")).match(storedId()).hasMatch());
    EXPECT_EQ(QUuid::fromString(storedId()), playlist.id);
    EXPECT_EQ(rotationTimer_->interval(), 900s);
    EXPECT_TRUE(log_.lines().contains(QStringLiteral("▶️ [PlaylistPlaybackService] Started playlist: Beaches")));
    EXPECT_EQ(recents_.recentsOrder().value(0), 11);
}

TEST_F(PlaylistPlaybackServiceTest, StepsGoInListOrderAndWrapBothWays)
{
    rotation_.startPlaylist(ownPlaylist({11, 12, 13}));
    settle();
    rotationTimer_->fire();
    settle();
    EXPECT_EQ(shownKey(), 12);
    rotation_.nextWallpaper();
    settle();
    EXPECT_EQ(shownKey(), 13);
    rotation_.nextWallpaper();
    settle();
    EXPECT_EQ(shownKey(), 11); // after the last comes the first
    rotation_.previousWallpaper();
    settle();
    EXPECT_EQ(shownKey(), 13); // before the first comes the last
    EXPECT_EQ(applies_, 5);
}

TEST_F(PlaylistPlaybackServiceTest, OneKeyIsAppliedAgainOnEveryStep)
{
    rotation_.startPlaylist(ownPlaylist({21}));
    settle();
    for (const auto& step : {std::function<void()>([this] { rotation_.nextWallpaper(); }), std::function<void()>([this] { rotation_.previousWallpaper(); }),
             std::function<void()>([this] { rotationTimer_->fire(); })}) {
        step();
        settle();
    }
    EXPECT_EQ(applies_, 4);
    EXPECT_EQ(shownKey(), 21);
}

TEST_F(PlaylistPlaybackServiceTest, ShuffleNeverRepeatsAWallpaperAndIsStored)
{
    rotation_.toggleShuffle(); // no playlist active: nothing changes
    EXPECT_FALSE(rotation_.isShuffleEnabled());
    EXPECT_FALSE(defaults_.contains(PlaylistPlaybackService::kShuffleEnabledKey));

    rotation_.startPlaylist(ownPlaylist({31, 32}));
    rotation_.toggleShuffle();
    EXPECT_TRUE(rotation_.isShuffleEnabled());
    EXPECT_TRUE(defaults_.boolean(PlaylistPlaybackService::kShuffleEnabledKey));
    // With two wallpapers shuffle alternates strictly, whichever way it steps.
    QList<qint64> shown{keyAtIndex()};
    rotation_.nextWallpaper();
    shown.append(keyAtIndex());
    rotation_.previousWallpaper();
    shown.append(keyAtIndex());
    rotationTimer_->fire();
    shown.append(keyAtIndex());
    EXPECT_NE(shown[0], shown[1]);
    EXPECT_EQ(shown[0], shown[2]);
    EXPECT_EQ(shown[1], shown[3]);

    rotation_.startPlaylist(ownPlaylist({33, 34, 35}));
    for (int step = 0; step < 40; ++step) {
        const qint64 before = keyAtIndex();
        rotation_.nextWallpaper();
        EXPECT_NE(keyAtIndex(), before);
    }
    settle();
    EXPECT_EQ(shownKey(), keyAtIndex()); // the steps were coalesced into the last one
}

TEST_F(PlaylistPlaybackServiceTest, PausingStopsOnlyTheTimerAndResumingWaitsAWholeInterval)
{
    rotation_.togglePause(); // no playlist active: nothing changes
    EXPECT_FALSE(rotation_.isPaused());

    rotation_.startPlaylist(ownPlaylist({41, 42, 43}));
    settle();
    rotation_.togglePause();
    EXPECT_TRUE(rotation_.isPaused());
    EXPECT_FALSE(rotationTimer_->isActive());
    rotationTimer_->fire();
    settle();
    EXPECT_EQ(shownKey(), 41);

    rotation_.nextWallpaper(); // manual steps still work while paused
    settle();
    EXPECT_EQ(shownKey(), 42);
    EXPECT_TRUE(rotation_.isPaused());

    const int startsBefore = rotationTimer_->starts();
    rotation_.togglePause();
    EXPECT_FALSE(rotation_.isPaused());
    EXPECT_EQ(rotationTimer_->starts(), startsBefore + 1);
    EXPECT_TRUE(rotationTimer_->isActive());
}

TEST_F(PlaylistPlaybackServiceTest, StoppingTakesTheWallpaperDownAndDeactivatingKeepsIt)
{
    const WallpaperPlaylist playlist = ownPlaylist({51, 52});
    rotation_.startPlaylist(playlist);
    settle();
    rotation_.togglePause();
    rotation_.stopPlaylist();
    EXPECT_FALSE(rotation_.activePlaylistId());
    EXPECT_FALSE(defaults_.contains(PlaylistPlaybackService::kActivePlaylistIdKey));
    EXPECT_TRUE(engine_.entries().empty());
    EXPECT_TRUE(rotation_.isPaused()); // kept across a stop, cleared by the next start
    EXPECT_TRUE(log_.lines().contains(QStringLiteral("⏸️ [PlaylistPlaybackService] Stopped playlist playback")));

    rotation_.startPlaylist(playlist);
    settle();
    EXPECT_FALSE(rotation_.isPaused());
    log_.clear();
    rotation_.deactivatePlaylist();
    EXPECT_FALSE(rotation_.activePlaylistId());
    EXPECT_FALSE(rotationTimer_->isActive());
    EXPECT_EQ(shownKey(), 51);
    EXPECT_TRUE(log_.lines().filter(QStringLiteral("[PlaylistPlaybackService]")).isEmpty());
}

TEST_F(PlaylistPlaybackServiceTest, StartingAnotherPlaylistStopsTheRunningOneFirst)
{
    const WallpaperPlaylist first = ownPlaylist({61});
    const WallpaperPlaylist second = ownPlaylist({62});
    rotation_.startPlaylist(first);
    settle();
    trace_.clear();
    rotation_.startPlaylist(second);
    settle();

    EXPECT_EQ(rotation_.activePlaylistId(), second.id);
    EXPECT_EQ(shownKey(), 62);
    const QStringList lines = log_.lines().filter(QStringLiteral("[PlaylistPlaybackService]"));
    EXPECT_EQ(lines.mid(lines.size() - 2),
        (QStringList{"⏸️ [PlaylistPlaybackService] Stopped playlist playback", "▶️ [PlaylistPlaybackService] Started playlist: Beaches"}));

    rotation_.startPlaylist(makePlaylist({})); // an empty playlist cannot start
    EXPECT_EQ(rotation_.activePlaylistId(), second.id);
}

TEST_F(PlaylistPlaybackServiceTest, ADeletedPlaylistStopsAndAnEmptiedOneDeactivates)
{
    const WallpaperPlaylist playlist = ownPlaylist({71, 72, 73, 74, 75});
    rotation_.startPlaylist(playlist);
    settle();

    // Shrinking while at the last index: the next refresh clamps, the next step wraps.
    for (int step = 0; step < 4; ++step)
        rotation_.nextWallpaper();
    playlists_.setWallpaperKeys({71, 72, 73}, playlist.id);
    rotationTimer_->fire();
    EXPECT_EQ(rotation_.currentIndex(), 0);
    settle();

    playlists_.setWallpaperKeys({}, playlist.id);
    EXPECT_FALSE(rotation_.activePlaylistId());
    EXPECT_FALSE(engine_.entries().empty());

    rotation_.startPlaylist(makePlaylist({71}));
    settle();
    playlists_.deletePlaylist(*rotation_.activePlaylistId());
    EXPECT_FALSE(rotation_.activePlaylistId());
    EXPECT_TRUE(engine_.entries().empty());

    rotation_.startPlaylist(makePlaylist({72}));
    settle();
    playlists_.deleteAllPlaylists();
    EXPECT_FALSE(rotation_.activePlaylistId());
    EXPECT_TRUE(engine_.entries().empty());
}

TEST_F(PlaylistPlaybackServiceTest, TheIntervalIsKeptBetweenFiveMinutesAndAWeekAndReadWhenTheTimerStarts)
{
    const WallpaperPlaylist playlist = ownPlaylist({81, 82}, 10);
    rotation_.startPlaylist(playlist);
    EXPECT_EQ(rotationTimer_->interval(), 300s);

    playlists_.updatePlaylist(playlist.id, std::nullopt, qint64(1) << 40);
    rotationTimer_->fire();
    EXPECT_EQ(rotationTimer_->interval(), 300s); // a tick does not restart the timer
    rotation_.togglePause();
    rotation_.togglePause();
    EXPECT_EQ(rotationTimer_->interval(), 604800s);
    settle();
}

TEST_F(PlaylistPlaybackServiceTest, OnlyOneApplyRunsAtATimeAndQuickStepsCoalesce)
{
    rotation_.startPlaylist(ownPlaylist({91, 92, 93, 94}));
    ASSERT_TRUE(rotation_.isApplying());
    rotationTimer_->fire();
    rotationTimer_->fire();
    rotation_.nextWallpaper();
    settle();
    EXPECT_EQ(applies_, 2);
    EXPECT_EQ(shownKey(), 94);
}

TEST_F(PlaylistPlaybackServiceTest, AStopWhileAnApplyRunsKeepsItOffTheDesktop)
{
    rotation_.startPlaylist(ownPlaylist({95}));
    rotation_.stopPlaylist();
    settle();
    EXPECT_TRUE(engine_.entries().empty());
    EXPECT_TRUE(log_.lines().filter(QStringLiteral("Failed to apply")).isEmpty());
}

TEST_F(PlaylistPlaybackServiceTest, AFailedApplyIsLoggedAndTheRotationGoesOn)
{
    const WallpaperPlaylist playlist = ownPlaylist({101, 102});
    QFile::remove(custom_.folderPath() + QStringLiteral("/101.mp4"));
    rotation_.startPlaylist(playlist);
    settle();

    EXPECT_EQ(log_.lines().filter(QStringLiteral("⚠️ [PlaylistPlaybackService] Failed to apply wallpaper 101: The video at ")).size(), 1);
    EXPECT_TRUE(rotation_.activePlaylistId());
    rotationTimer_->fire();
    settle();
    EXPECT_EQ(shownKey(), 102);
}

TEST_F(PlaylistPlaybackServiceTest, AnOwnKeyPlaysItsFileAndALikedKeyItsAddress)
{
    addOwn({111});
    WallpaperModel liked = record(111, QStringLiteral("Liked too"));
    liked_.addWallpaper(liked, true);
    WallpaperModel likedLocal = record(112, QStringLiteral("Liked local"));
    likedLocal.masterUrl = QUrl::fromLocalFile(clipPath());
    liked_.addWallpaper(likedLocal, true);
    rotation_.startPlaylist(makePlaylist({111, 112}));
    settle();

    EXPECT_EQ(engine_.entries().begin()->second.videoURL, QUrl::fromLocalFile(custom_.folderPath() + QStringLiteral("/111.mp4")));
    EXPECT_EQ(catalogue_.server().requestCount(masterPath(111)), 0);
    rotation_.nextWallpaper();
    settle();
    EXPECT_EQ(engine_.entries().begin()->second.videoURL, QUrl::fromLocalFile(clipPath()));
    EXPECT_EQ(recents_.recentsWallpapers().value(112).title, QStringLiteral("Liked local"));
}

TEST_F(PlaylistPlaybackServiceTest, AKeyWithoutAddressWaitsForTheAssetHostAndIsThenAppliedOnce)
{
    cachedRequest(kCatalogueKey); // its master video is on disk, so no download is needed
    rotation_.startPlaylist(makePlaylist({kCatalogueKey}));
    settle();
    EXPECT_EQ(applies_, 0);
    EXPECT_TRUE(rotation_.activePlaylistId());

    waitForTask(store_.initializeIfNeeded());
    ASSERT_TRUE(store_.baseUrl());
    settle();
    EXPECT_EQ(applies_, 1);
    EXPECT_EQ(shownKey(), kCatalogueKey);
    EXPECT_EQ(recents_.recentsWallpapers().value(kCatalogueKey).masterUrl, masterUrl(kCatalogueKey));
}

TEST_F(PlaylistPlaybackServiceTest, TheActivePlaylistResumesAtLaunchAndIsAppliedOnce)
{
    const WallpaperPlaylist playlist = ownPlaylist({121, 122});
    defaults_.setString(PlaylistPlaybackService::kActivePlaylistIdKey, playlist.id.toString(QUuid::WithoutBraces).toUpper());
    auto* timer = new ManualRotationTimer;
    PlaylistPlaybackService relaunched(defaults_, std::unique_ptr<RotationTimer>(timer));
    Shared<PlaylistPlaybackService>::Override relaunchedOverride(relaunched);
    int applies = relaunched.isApplying() ? 1 : 0; // started while it was created
    QObject::connect(&relaunched, &PlaylistPlaybackService::isApplyingChanged, &relaunched, [&] { applies += relaunched.isApplying(); });

    EXPECT_EQ(relaunched.activePlaylistId(), playlist.id);
    EXPECT_TRUE(timer->isActive());
    settle(relaunched);
    EXPECT_EQ(shownKey(), 121);

    waitForTask(store_.initializeIfNeeded()); // the asset host arrives: nothing is applied again
    settle(relaunched);
    EXPECT_EQ(applies, 1);
}

TEST_F(PlaylistPlaybackServiceTest, AStoredIdThatIsGoneIsDroppedAndOneThatIsNoIdIsKept)
{
    defaults_.setString(PlaylistPlaybackService::kActivePlaylistIdKey, QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    PlaylistPlaybackService gone(defaults_, std::make_unique<ManualRotationTimer>());
    EXPECT_FALSE(gone.activePlaylistId());
    EXPECT_FALSE(defaults_.contains(PlaylistPlaybackService::kActivePlaylistIdKey));

    defaults_.setString(PlaylistPlaybackService::kActivePlaylistIdKey, QStringLiteral("not an id"));
    PlaylistPlaybackService garbled(defaults_, std::make_unique<ManualRotationTimer>());
    EXPECT_FALSE(garbled.activePlaylistId());
    EXPECT_EQ(defaults_.string(PlaylistPlaybackService::kActivePlaylistIdKey), QStringLiteral("not an id"));
}

// A playlist that cannot be read stays stored as it is; so does the active one's id while its
// playlist is not among those read: the list that is no list of records, or the active
// playlist's own row damaged.
TEST_F(PlaylistPlaybackServiceTest, AStoredIdStaysWhileThePlaylistsCannotBeRead)
{
    const WallpaperPlaylist active = makePlaylist({11, 12}, 300, QStringLiteral("Active"));
    makePlaylist({13}, 300, QStringLiteral("Other"));
    const QString id = active.id.toString(QUuid::WithoutBraces).toUpper();
    const QList<StoredRow> good = defaults_.rows(WallpaperPlaylistService::kPlaylistsKey);
    SettingsChange::ListChange allGone;
    SettingsChange::ListChange activeDamaged;
    for (const StoredRow& row : good) {
        allGone.removed.append(row.key);
        QJsonObject record = JsonReader::parse(row.record).as<QJsonObject>();
        if (record.value(QStringLiteral("name")) != QStringLiteral("Active"))
            continue;
        record.insert(QStringLiteral("createdAt"), QStringLiteral("yesterday"));
        activeDamaged.put.append({row.key, row.position, JsonWriter::toBytes(record)});
    }
    ASSERT_EQ(activeDamaged.put.size(), 1);
    const struct {
        const char* name;
        std::function<void()> damage;
    } cases[] = {
        {"no list of records", [&] {
             defaults_.changeRows(WallpaperPlaylistService::kPlaylistsKey, allGone);
             defaults_.setData(WallpaperPlaylistService::kPlaylistsKey, "[{\"id\": ");
         }},
        {"the active playlist's row damaged", [&] {
             defaults_.remove(WallpaperPlaylistService::kPlaylistsKey);
             defaults_.changeRows(WallpaperPlaylistService::kPlaylistsKey, {good, {}});
             defaults_.changeRows(WallpaperPlaylistService::kPlaylistsKey, activeDamaged);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.damage();
        defaults_.setString(PlaylistPlaybackService::kActivePlaylistIdKey, id);
        WallpaperPlaylistService reloaded(defaults_, clock_);
        Shared<WallpaperPlaylistService>::Override reloadedOverride(reloaded);
        PlaylistPlaybackService relaunched(defaults_, std::make_unique<ManualRotationTimer>());
        EXPECT_FALSE(relaunched.activePlaylistId());
        EXPECT_EQ(storedId(), id);
    }
}

// The settings database could not be opened at launch: once it opens, the active playlist
// resumes with its shuffle.
TEST_F(PlaylistPlaybackServiceTest, TheActivePlaylistOfASettingsDatabaseOpenedLateResumes)
{
    addOwn({121, 122});
    QUuid id;
    {
        UserDefaults stored;
        WallpaperPlaylistService storedPlaylists(stored, clock_);
        id = storedPlaylists.createPlaylist(QStringLiteral("Beaches"), 300).id;
        storedPlaylists.setWallpaperKeys({121, 122}, id);
        stored.setString(PlaylistPlaybackService::kActivePlaylistIdKey, id.toString(QUuid::WithoutBraces).toUpper());
        stored.setBool(PlaylistPlaybackService::kShuffleEnabledKey, true);
    }
    SettingsReadFault fault(EMFILE);
    UserDefaults late;
    WallpaperPlaylistService latePlaylists(late, clock_);
    Shared<WallpaperPlaylistService>::Override playlistsOverride(latePlaylists);
    PlaylistPlaybackService relaunched(late, std::make_unique<ManualRotationTimer>());
    Shared<PlaylistPlaybackService>::Override relaunchedOverride(relaunched);
    EXPECT_FALSE(relaunched.activePlaylistId());
    EXPECT_FALSE(relaunched.isShuffleEnabled());

    fault.pass();
    ASSERT_EVENTUALLY(relaunched.activePlaylistId() == id, 30 * UserDefaults::kFirstRetryMs);
    EXPECT_TRUE(relaunched.isShuffleEnabled());
    settle(relaunched);
    EXPECT_TRUE(shownKey() == 121 || shownKey() == 122) << shownKey().value_or(-1);
}

} // namespace
