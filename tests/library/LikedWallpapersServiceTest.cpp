#include "LikedListFixture.h"

#include "library/LikedWallpapersService.h"
#include "library/WallpaperPlaylistService.h"

#include "support/Eventually.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

class LikedWallpapersServiceTest : public LikedListFixture {};

TEST_F(LikedWallpapersServiceTest, LikesGoFirstAndSurviveARestart)
{
    EXPECT_TRUE(log_.contains(QStringLiteral("❤️ [LikedWallpapersService] No liked wallpapers found, starting fresh")));
    EXPECT_FALSE(defaults().contains(LikedWallpapersService::kLikedWallpapersKey)) << "nothing is written before a change";
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
    EXPECT_EQ(log_.lines(), (QStringList{saved, QStringLiteral("💔 [LikedWallpapersService] Removed wallpaper 77 from liked list")}))
        << "a key in no playlist changes no playlist; unliking what is not liked still saves";

    restart();
    EXPECT_EQ(liked().likedOrder(), QList<qint64>{5});
    EXPECT_EQ(playlists_->playlist(id)->wallpaperKeys, QList<qint64>{5});
    EXPECT_TRUE(playlists_->playlist(other)->wallpaperKeys.isEmpty());
}

// Likes made while a long list is written are in the next write, and a quit with writes still
// to do (the flush it waits for) ends with all of them in the file the next launch reads.
TEST_F(LikedWallpapersServiceTest, ALikeDuringAWriteAndAQuitWithAWritePendingLoseNothing)
{
    // Long enough that the settings file, too, is written behind.
    constexpr int kStored = 6000;
    QJsonArray stored;
    for (qint64 key = 1; key <= kStored; ++key)
        stored.append(wallpaper(key).toJson());
    store(LikedWallpapersService::kLikedWallpapersKey, stored);
    LikedWallpapersService& liked = restart();
    ASSERT_EVENTUALLY(!liked.isLoading(), 30'000);

    liked.addWallpaper(wallpaper(9001), true);
    liked.removeWallpaper(std::optional<qint64>(1));
    liked.addWallpaper(wallpaper(9002), true);
    liked.flush();
    EXPECT_FALSE(defaults().isWriting());

    const UserDefaults nextLaunch;
    const QJsonArray written = JsonReader::parse(nextLaunch.data(LikedWallpapersService::kLikedWallpapersKey)).as<QJsonArray>();
    ASSERT_EQ(written.size(), kStored + 1);
    EXPECT_EQ(written.at(0)[QStringLiteral("key")].toInteger(), 9002);
    EXPECT_EQ(written.at(1)[QStringLiteral("key")].toInteger(), 9001);
    EXPECT_EQ(written.at(2)[QStringLiteral("key")].toInteger(), 2) << "the unliked first record is gone";
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
