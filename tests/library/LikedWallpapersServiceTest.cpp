#include "LikedListFixture.h"

#include "library/EarlierLists.h"
#include "library/LikedWallpapersService.h"
#include "library/WallpaperPlaylistService.h"

#include "support/Eventually.h"
#include "support/HeldEarlierImport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

class LikedWallpapersServiceTest : public LikedListFixture {};

TEST_F(LikedWallpapersServiceTest, LikesGoFirstAndSurviveARestart)
{
    EXPECT_TRUE(log_.contains(QStringLiteral("❤️ [LikedWallpapersService] Loaded  0 liked wallpapers from UserDefaults")));
    EXPECT_TRUE(defaults().rows(LikedWallpapersService::kLikedWallpapersKey).isEmpty()) << "nothing is written before a change";
    log_.clear();

    liked().addWallpaper(wallpaper(1, QStringLiteral("One")), true);
    liked().addWallpaper(wallpaper(2, QStringLiteral("Two")), true);
    liked().addWallpaper(wallpaper(3, QStringLiteral("Three")), true);
    liked().addWallpaper(wallpaper(1, QStringLiteral("One again")), true);

    restart();
    EXPECT_EQ(liked().likedOrder(), (QList<qint64>{1, 3, 2}));
    EXPECT_EQ(titles(liked().likedWallpapersInOrder()),
        (QStringList{QStringLiteral("One again"), QStringLiteral("Three"), QStringLiteral("Two")}));
    EXPECT_TRUE(log_.contains(QStringLiteral("❤️ [LikedWallpapersService] Loaded  3 liked wallpapers from UserDefaults")));
    const auto saved = [](int count) { return QStringLiteral("💾 [LikedWallpapersService] Saved %1 liked wallpapers to UserDefaults").arg(count); };
    EXPECT_EQ(log_.lines().filter(QStringLiteral("💾")), (QStringList{saved(1), saved(2), saved(3), saved(3)}));
}

// A stored list is decoded on a worker: the service is there at once and says it is loading,
// the list's arrival is announced once, and a like or unlike tapped meanwhile returns at once
// and is made on the stored records when they arrive, so none of them is lost.
TEST_F(LikedWallpapersServiceTest, AStoredListIsReadOnAWorkerAndNothingIsLostMeanwhile)
{
    constexpr int kStored = 400;
    QJsonArray stored;
    for (qint64 key = 1; key <= kStored; ++key)
        stored.append(wallpaper(key).toJson());
    struct Case {
        const char* name;
        std::function<void(LikedWallpapersService&)> meanwhile;
        qsizetype count;
        qint64 first;
    };
    const Case cases[] = {
        {"nothing", [](LikedWallpapersService&) {}, kStored, 1},
        {"a like", [](LikedWallpapersService& liked) { liked.addWallpaper(wallpaper(9999), true); }, kStored + 1, 9999},
        {"an unlike", [](LikedWallpapersService& liked) { liked.removeWallpaper(std::optional<qint64>(1)); }, kStored - 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store(LikedWallpapersService::kLikedWallpapersKey, stored);
        log_.clear();
        LikedWallpapersService& liked = restart();
        EXPECT_TRUE(liked.isLoading());
        EXPECT_FALSE(log_.contains(QStringLiteral("Loaded "))) << "decoded off the GUI thread, not in the constructor";
        QSignalSpy loading(&liked, &LikedWallpapersService::isLoadingChanged);
        QSignalSpy order(&liked, &LikedWallpapersService::likedOrderChanged);

        c.meanwhile(liked);
        EXPECT_TRUE(liked.isLoading()) << "the tap waited for the list";
        ASSERT_EVENTUALLY(loading.size() == 1, 10'000);
        EXPECT_FALSE(liked.isLoading());
        EXPECT_EQ(liked.likedOrder().size(), c.count);
        EXPECT_GE(order.size(), 1) << "the arrival is announced";
        EXPECT_EQ(restart().likedOrder().size(), c.count) << "what was stored is stored still";
        EXPECT_EQ(liked_->likedOrder().first(), c.first);
    }
}

// The hearts do not wait for a long list's records: the keys of its rows arrive first, while the
// list is still read, and a stored key's heart shows filled from then on; one not stored stays
// empty, and the list's arrival leaves both as they were.
TEST_F(LikedWallpapersServiceTest, HeartsShowTheStoredKeysBeforeTheRecordsArrive)
{
    QJsonArray stored;
    for (qint64 key = 1; key <= 400; ++key)
        stored.append(wallpaper(key).toJson());
    store(LikedWallpapersService::kLikedWallpapersKey, stored);
    LikedWallpapersService& liked = restart();
    EXPECT_FALSE(liked.showsLiked(1)) << "nothing is known before the keys are read";
    struct Seen {
        bool loading;
        bool stored;
        bool other;
    };
    QList<Seen> seen;
    QObject::connect(&liked, &LikedWallpapersService::waitingChangesChanged, &liked,
        [&] { seen.append({liked.isLoading(), liked.showsLiked(400), liked.showsLiked(9999)}); });
    QSignalSpy loading(&liked, &LikedWallpapersService::isLoadingChanged);
    ASSERT_EVENTUALLY(loading.size() == 1, 10'000);
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(seen.first().loading) << "the keys came before the records";
    EXPECT_TRUE(seen.first().stored);
    EXPECT_FALSE(seen.first().other);
    EXPECT_TRUE(liked.showsLiked(400));
    EXPECT_FALSE(liked.showsLiked(9999));
}

// The first start after an upgrade: while the earlier settings are committed on a worker, a liked
// wallpaper's heart shows filled already and the list says it is loading; a like tapped meanwhile
// waits for the list and is kept with it.
TEST_F(LikedWallpapersServiceTest, AnUpgradesHeartsShowWhileItsImportIsCommitted)
{
    QJsonArray earlier;
    for (qint64 key = 1; key <= 400; ++key)
        earlier.append(wallpaper(key).toJson());
    liked_.reset();
    playlists_.reset();
    defaults_.reset();
    ASSERT_TRUE(placeEarlierSettings(
        QJsonObject{{LikedWallpapersService::kLikedWallpapersKey, earlierDataEntry(JsonWriter::toBytes(earlier))}}));
    HeldEarlierImport import(EarlierLists::idFields());

    LikedWallpapersService& liked = restart();
    ASSERT_TRUE(defaults().importsEarlierSettings());
    ASSERT_EVENTUALLY(liked.showsLiked(400), 10'000);
    EXPECT_FALSE(liked.showsLiked(9999));
    EXPECT_TRUE(liked.isLoading()) << "the records are read once the import is in";
    liked.addWallpaper(wallpaper(9999), true);

    import.release();
    ASSERT_EVENTUALLY(!liked.isLoading(), 10'000);
    EXPECT_EQ(liked.likedOrder().size(), 401);
    EXPECT_EQ(liked.likedOrder().first(), 9999);
    // The list is read as soon as the import is committed; the import ends once its log is in
    // the file, and the like that waited for it is saved then.
    ASSERT_EVENTUALLY(!defaults().importsEarlierSettings(), 10'000);
    EXPECT_EQ(restart().likedOrder().size(), 401);
}

TEST_F(LikedWallpapersServiceTest, OnlyRealChangesArePublished)
{
    const WallpaperModel one = wallpaper(1);
    liked().addWallpaper(one, true);
    QSignalSpy order(&liked(), &LikedWallpapersService::likedOrderChanged);
    QSignalSpy records(&liked(), &LikedWallpapersService::likedWallpapersChanged);

    liked().addWallpaper(one, true);
    EXPECT_EQ(order.size() + records.size(), 0) << "the same record already at the front";
    WallpaperModel moreLikes = one;
    moreLikes.likes = 12;
    liked().addWallpaper(moreLikes, true);
    EXPECT_EQ(records.size(), 1) << "records equal by id may still differ";
    EXPECT_EQ(liked().likedWallpapers().value(1).likes, 12);
    liked().removeWallpaper(std::optional<qint64>(99));
    EXPECT_EQ(order.size(), 0);
}

TEST_F(LikedWallpapersServiceTest, AWallpaperWithoutAKeyIsRefused)
{
    log_.clear();
    liked().addWallpaper(wallpaper(std::nullopt), false);
    liked().removeWallpaper(wallpaper(std::nullopt));
    EXPECT_EQ(log_.lines(), (QStringList{QStringLiteral("⚠️ [LikedWallpapersService] Cannot add wallpaper - key is nil"),
                                QStringLiteral("⚠️ [LikedWallpapersService] Cannot remove wallpaper - key is nil")}));
    EXPECT_FALSE(defaults().contains(LikedWallpapersService::kLikedWallpapersKey));
}

TEST_F(LikedWallpapersServiceTest, UnlikingTakesTheKeyOutOfEveryPlaylist)
{
    const QUuid id = playlists_->createPlaylist(QStringLiteral("Calm"), 300).id;
    const QUuid other = playlists_->createPlaylist(QStringLiteral("Other"), 300).id;
    playlists_->setWallpaperKeys({4, 5, 4}, id);
    playlists_->setWallpaperKeys({4}, other);
    liked().addWallpaper(wallpaper(4), true);
    liked().addWallpaper(wallpaper(5), true);
    liked().flush();
    log_.clear();

    const QString saved = QStringLiteral("💾 [LikedWallpapersService] Saved 1 liked wallpapers to UserDefaults");
    liked().removeWallpaper(wallpaper(4));
    EXPECT_EQ(log_.lines(),
        (QStringList{saved, QStringLiteral("💾 [WallpaperPlaylistService] Saved 2 playlists"),
            QStringLiteral("📋 [WallpaperPlaylistService] Removed wallpaper 4 from all playlists"),
            QStringLiteral("💔 [LikedWallpapersService] Removed wallpaper 4 from liked list")}));

    log_.clear();
    liked().removeWallpaper(std::optional<qint64>(77));
    EXPECT_EQ(log_.lines(), QStringList{QStringLiteral("💔 [LikedWallpapersService] Removed wallpaper 77 from liked list")})
        << "a key in no playlist changes no playlist; unliking what is not liked changes no row";

    restart();
    EXPECT_EQ(liked().likedOrder(), QList<qint64>{5});
    EXPECT_EQ(playlists_->playlist(id)->wallpaperKeys, QList<qint64>{5});
    EXPECT_TRUE(playlists_->playlist(other)->wallpaperKeys.isEmpty());
}

// A hundred likes are a hundred rows, each put on its own, and a restart reads them all back,
// newest first.
TEST_F(LikedWallpapersServiceTest, AHundredLikesAreEachOneRowAndAllReadBackInOrder)
{
    constexpr qint64 kLikes = 100;
    ASSERT_EVENTUALLY(!liked().isLoading(), 10'000);
    for (qint64 key = 1; key <= kLikes; ++key) {
        liked().addWallpaper(wallpaper(key, QStringLiteral("Liked %1").arg(key)), true);
        const QList<StoredRow> rows = defaults().rows(LikedWallpapersService::kLikedWallpapersKey);
        ASSERT_EQ(rows.size(), key);
        ASSERT_EQ(rows.first().key, QString::number(key)) << "the like is the first row";
    }
    QList<qint64> expected;
    for (qint64 key = kLikes; key >= 1; --key)
        expected.append(key);
    LikedWallpapersService& again = restart();
    ASSERT_EVENTUALLY(!again.isLoading(), 10'000);
    EXPECT_EQ(again.likedOrder(), expected);
    EXPECT_EQ(again.likedWallpapersInOrder().constLast().title, QStringLiteral("Liked 1"));
}

// The rows can change under a running list: another copy of the program, or a backup restored.
// An unlike then removes the row of that key and nothing else, and a like puts its own row: no
// row is taken or brought back by its place in the list.
TEST_F(LikedWallpapersServiceTest, AnUnlikeRemovesItsKeyFromRowsWrittenElsewhere)
{
    store(LikedWallpapersService::kLikedWallpapersKey,
        {wallpaper(1).toJson(), wallpaper(2).toJson(), wallpaper(3).toJson(), wallpaper(4).toJson()});
    LikedWallpapersService& running = restart();
    ASSERT_EVENTUALLY(!running.isLoading(), 10'000);
    {
        // Unliked 1 and 3, liked 9 between: the rows are now 9, 2, 4.
        UserDefaults elsewhere;
        SettingsChange::ListChange change;
        change.removed = {QStringLiteral("1"), QStringLiteral("3")};
        change.put = {{QStringLiteral("9"), kRowGap / 2, JsonWriter::toBytes(wallpaper(9).toJson())}};
        ASSERT_TRUE(elsewhere.changeRows(LikedWallpapersService::kLikedWallpapersKey, change));
    }
    running.removeWallpaper(std::optional<qint64>(2));
    running.addWallpaper(wallpaper(5), true);

    QStringList stored;
    for (const StoredRow& row : defaults().rows(LikedWallpapersService::kLikedWallpapersKey))
        stored.append(row.key);
    EXPECT_EQ(stored, (QStringList{QStringLiteral("5"), QStringLiteral("9"), QStringLiteral("4")}));
    LikedWallpapersService& next = restart();
    ASSERT_EVENTUALLY(!next.isLoading(), 10'000);
    EXPECT_EQ(next.likedOrder(), (QList<qint64>{5, 9, 4}));
}

TEST_F(LikedWallpapersServiceTest, ALikeIsCountedLaterUnlessSuppressed)
{
    const QString counted11 = QStringLiteral("✅ [WallpaperCounterService] Successfully incremented likes counter for wallpaper 11");
    const auto reports = [&] { return log_.lines().count(counted11); };
    liked().addWallpaper(wallpaper(10), true);
    liked().addWallpaper(wallpaper(11), false);
    EXPECT_TRUE(counted().isEmpty()) << "the report runs after the caller's own work";
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports() == 1; }, 10'000));
    liked().addWallpaper(wallpaper(11), false);
    // Waiting for the counter's own line lets each report end before the backend goes away.
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports() == 2; }, 10'000));
    EXPECT_EQ(counted(), (QStringList{QStringLiteral("likes:11"), QStringLiteral("likes:11")}))
        << "a suppressed like is never counted; a repeated one is counted again";
}

} // namespace
