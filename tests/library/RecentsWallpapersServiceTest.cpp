#include "LibraryFixture.h"

#include "library/RecentsWallpapersService.h"

namespace {

class RecentsWallpapersServiceTest : public LibraryFixture {
protected:
    RecentsWallpapersService& restart()
    {
        recents_.reset();
        reopenDefaults();
        recents_ = std::make_unique<RecentsWallpapersService>(defaults());
        return *recents_;
    }
    RecentsWallpapersService& recents() { return *recents_; }

    std::unique_ptr<RecentsWallpapersService> recents_ = std::make_unique<RecentsWallpapersService>(defaults());
};

TEST_F(RecentsWallpapersServiceTest, TheNewestTenAreKeptAcrossARestart)
{
    for (qint64 key = 1; key <= 11; ++key)
        recents().addWallpaper(wallpaper(key, QString::number(key)));
    EXPECT_TRUE(log_.contains(QStringLiteral("➕ [RecentsWallpapersService] Added wallpaper 11 to recents")));
    EXPECT_FALSE(recents().recentsWallpapers().contains(1)) << "the oldest leaves both lists";

    recents().addWallpaper(wallpaper(5, QStringLiteral("five again")));
    restart();
    ASSERT_EQ(recents().recentsOrder().size(), 10);
    EXPECT_EQ(recents().recentsOrder().mid(0, 3), (QList<qint64>{5, 11, 10}));
    EXPECT_EQ(recents().recentWallpapersInOrder().first().title, QStringLiteral("five again"));
    EXPECT_EQ(recents().recentsOrder().last(), 2);
    EXPECT_TRUE(log_.contains(QStringLiteral("🕒 [RecentsWallpapersService] Loaded 10 recent wallpapers from UserDefaults")));
}

// A foreign or damaged store can hold any number of recents; the program keeps its ten, and
// stores that by removing the rows of the others.
TEST_F(RecentsWallpapersServiceTest, ALongerStoredListIsCutOnLoad)
{
    constexpr qint64 kStored = 2'000;
    QJsonArray stored;
    for (qint64 key = 1; key <= kStored; ++key)
        stored.append(wallpaper(key).toJson());
    store(RecentsWallpapersService::kRecentsWallpapersKey, stored);
    const QList<StoredRow> rows = defaults().rows(RecentsWallpapersService::kRecentsWallpapersKey);

    EXPECT_EQ(restart().recentsOrder(), (QList<qint64>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(recents().recentsWallpapers().size(), 10);
    EXPECT_EQ(defaults().rows(RecentsWallpapersService::kRecentsWallpapersKey), rows.mid(0, 10)) << "the first ten as they were";
    EXPECT_TRUE(log_.contains(QStringLiteral("⚠️ [RecentsWallpapersService] Kept the first 10 of 2000 stored recent wallpapers")));
}

TEST_F(RecentsWallpapersServiceTest, ClearingLeavesNoRow)
{
    recents().addWallpaper(wallpaper(1));
    recents().addWallpaper(wallpaper(std::nullopt));
    EXPECT_TRUE(log_.contains(QStringLiteral("⚠️ [RecentsWallpapersService] Cannot add wallpaper to recents - key is nil")));
    recents().clearRecents();
    EXPECT_TRUE(log_.contains(QStringLiteral("🗑️ [RecentsWallpapersService] Cleared all recent wallpapers")));

    log_.clear();
    EXPECT_TRUE(defaults().rows(RecentsWallpapersService::kRecentsWallpapersKey).isEmpty());
    EXPECT_TRUE(restart().recentsOrder().isEmpty());
    EXPECT_EQ(log_.lines(), QStringList{QStringLiteral("🕒 [RecentsWallpapersService] No recent wallpapers found, starting fresh")});
}

} // namespace
