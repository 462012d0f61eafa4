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

TEST_F(RecentsWallpapersServiceTest, ALongerStoredListLoadsWholeAndIsCutAtTheNextAddition)
{
    QJsonArray twelve;
    for (qint64 key = 1; key <= 12; ++key)
        twelve.append(wallpaper(key).toJson());
    store(RecentsWallpapersService::kRecentsWallpapersKey, twelve);
    EXPECT_EQ(restart().recentsOrder().size(), 12);

    recents().addWallpaper(wallpaper(13));
    EXPECT_EQ(recents().recentsOrder().size(), 10);
    EXPECT_EQ(recents().recentsWallpapers().size(), 10);
    EXPECT_EQ(storedArray(RecentsWallpapersService::kRecentsWallpapersKey).size(), 10);
}

TEST_F(RecentsWallpapersServiceTest, ClearingStoresAnEmptyArray)
{
    recents().addWallpaper(wallpaper(1));
    recents().addWallpaper(wallpaper(std::nullopt));
    EXPECT_TRUE(log_.contains(QStringLiteral("⚠️ [RecentsWallpapersService] Cannot add wallpaper to recents - key is nil")));
    recents().clearRecents();
    EXPECT_TRUE(log_.contains(QStringLiteral("🗑️ [RecentsWallpapersService] Cleared all recent wallpapers")));

    log_.clear();
    EXPECT_TRUE(restart().recentsOrder().isEmpty());
    EXPECT_EQ(log_.lines(), QStringList{QStringLiteral("🕒 [RecentsWallpapersService] Loaded 0 recent wallpapers from UserDefaults")});
}

} // namespace
