#include "LibraryFixture.h"

#include "foundation/Clock.h"
#include "library/WallpaperPlaylistService.h"

#include <QSignalSpy>

namespace {

class WallpaperPlaylistServiceTest : public LibraryFixture {
protected:
    WallpaperPlaylistService& restart()
    {
        service_.reset();
        reopenDefaults();
        service_ = std::make_unique<WallpaperPlaylistService>(defaults(), clock_);
        return *service_;
    }
    WallpaperPlaylistService& service() { return *service_; }

    ManualClock clock_;
    std::unique_ptr<WallpaperPlaylistService> service_ = std::make_unique<WallpaperPlaylistService>(defaults(), clock_);
};

TEST_F(WallpaperPlaylistServiceTest, NewPlaylistsGoFirstAndSurviveARestart)
{
    EXPECT_TRUE(log_.contains(QStringLiteral("📋 [WallpaperPlaylistService] No playlists found, starting fresh")));
    log_.clear();
    const WallpaperPlaylist calm = service().createPlaylist(QStringLiteral("Calm"), 300);
    clock_.advance(60);
    const WallpaperPlaylist night = service().createPlaylist(QStringLiteral("Calm"), 900);
    EXPECT_EQ(log_.lines(), (QStringList{QStringLiteral("💾 [WallpaperPlaylistService] Saved 1 playlists"),
                                QStringLiteral("📋 [WallpaperPlaylistService] Created playlist: Calm"),
                                QStringLiteral("💾 [WallpaperPlaylistService] Saved 2 playlists"),
                                QStringLiteral("📋 [WallpaperPlaylistService] Created playlist: Calm")}));

    const QList<WallpaperPlaylist> after = restart().playlists();
    ASSERT_EQ(after.size(), 2);
    EXPECT_EQ(after.at(0).id, night.id) << "newest first; names need not be unique";
    EXPECT_EQ(after.at(1).id, calm.id);
    EXPECT_EQ(after.at(1).createdAt, clock_.now().addSecs(-60));
    EXPECT_EQ(after.at(0).autoChangeIntervalSeconds, 900);
    EXPECT_TRUE(after.at(0).wallpaperKeys.isEmpty());
    EXPECT_TRUE(log_.contains(QStringLiteral("📋 [WallpaperPlaylistService] Loaded 2 playlists")));
}

TEST_F(WallpaperPlaylistServiceTest, EditsOfOnePlaylistAreStoredAtOnce)
{
    const QUuid id = service().createPlaylist(QStringLiteral("Calm"), 300).id;
    service().createPlaylist(QStringLiteral("Other"), 300);
    service().setWallpaperKeys({7, 9, 7}, id);
    service().updatePlaylist(id, QString(), 3600);
    service().updatePlaylist(id, std::nullopt, std::nullopt);
    EXPECT_EQ(restart().playlist(id)->wallpaperKeys, (QList<qint64>{7, 9, 7}));
    EXPECT_EQ(service().playlist(id)->name, QString()) << "an empty name is set too";
    EXPECT_EQ(service().playlist(id)->autoChangeIntervalSeconds, 3600);

    log_.clear();
    service().removeWallpaper(7, id);
    service().removeWallpaper(42, *service().playlist(id));
    EXPECT_EQ(restart().playlist(id)->wallpaperKeys, QList<qint64>{9});
    EXPECT_TRUE(log_.contains(QStringLiteral("📋 [WallpaperPlaylistService] Removed wallpaper 42 from playlist: ")));

    log_.clear();
    service().addWallpapers({5, 5, 9, 3}, id);
    service().addWallpapers({}, *service().playlist(id));
    EXPECT_EQ(restart().playlist(id)->wallpaperKeys, (QList<qint64>{9, 5, 3}));
    EXPECT_TRUE(log_.contains(QStringLiteral("📋 [WallpaperPlaylistService] Added 4 wallpapers to playlist: ")));
    EXPECT_TRUE(log_.contains(QStringLiteral("📋 [WallpaperPlaylistService] Added 0 wallpapers to playlist: ")));
}

TEST_F(WallpaperPlaylistServiceTest, AnUnknownIdChangesAndLogsNothing)
{
    service().createPlaylist(QStringLiteral("Calm"), 300);
    const QList<StoredRow> before = defaults().rows(WallpaperPlaylistService::kPlaylistsKey);
    QSignalSpy changed(&service(), &WallpaperPlaylistService::playlistsChanged);
    log_.clear();

    const QUuid unknown = QUuid::createUuid();
    service().setWallpaperKeys({1}, unknown);
    service().updatePlaylist(unknown, QStringLiteral("x"), 1);
    service().removeWallpaper(1, unknown);
    service().addWallpapers({1}, unknown);
    EXPECT_FALSE(service().playlist(unknown));

    EXPECT_TRUE(log_.lines().isEmpty());
    EXPECT_EQ(changed.size(), 0);
    EXPECT_EQ(defaults().rows(WallpaperPlaylistService::kPlaylistsKey), before);
}

// The rotation listens to these to end the rotation of a playlist that no longer exists.
TEST_F(WallpaperPlaylistServiceTest, DeletionsAreStoredAndSignalledToTheRotation)
{
    const QUuid kept = service().createPlaylist(QStringLiteral("Kept"), 300).id;
    const QUuid gone = service().createPlaylist(QStringLiteral("Gone"), 300).id;
    QSignalSpy deleted(&service(), &WallpaperPlaylistService::playlistDeleted);
    log_.clear();

    service().deletePlaylist(gone);
    EXPECT_EQ(log_.lines(), QStringList{QStringLiteral("💾 [WallpaperPlaylistService] Saved 1 playlists")});
    ASSERT_EQ(deleted.size(), 1);
    EXPECT_EQ(deleted.at(0).at(0).toUuid(), gone);
    EXPECT_EQ(restart().playlists().size(), 1);
    EXPECT_EQ(service().playlists().first().id, kept);

    QSignalSpy allDeletedAfterRestart(&service(), &WallpaperPlaylistService::allPlaylistsDeleted);
    service().deleteAllPlaylists();
    service().deleteAllPlaylists();
    EXPECT_EQ(allDeletedAfterRestart.size(), 2);
    EXPECT_TRUE(log_.contains(QStringLiteral("📋 [WallpaperPlaylistService] Deleted all playlists")));
    EXPECT_TRUE(defaults().rows(WallpaperPlaylistService::kPlaylistsKey).isEmpty());
    EXPECT_TRUE(restart().playlists().isEmpty());
    EXPECT_TRUE(log_.contains(QStringLiteral("📋 [WallpaperPlaylistService] No playlists found, starting fresh")));
}

} // namespace
