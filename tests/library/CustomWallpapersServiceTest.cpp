#include "LibraryFixture.h"

#include "foundation/Paths.h"
#include "library/CustomWallpapersService.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

namespace {

class CustomWallpapersServiceTest : public LibraryFixture {
protected:
    CustomWallpapersService& restart(const QString& support = Paths::applicationSupport())
    {
        custom_.reset();
        reopenDefaults();
        custom_ = std::make_unique<CustomWallpapersService>(defaults(), support);
        return *custom_;
    }
    CustomWallpapersService& custom() { return *custom_; }

    void writeVideo(const QString& name)
    {
        QDir().mkpath(custom().folderPath());
        QFile file(custom().folderPath() + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("video");
    }

    std::unique_ptr<CustomWallpapersService> custom_ =
        std::make_unique<CustomWallpapersService>(defaults(), Paths::applicationSupport());
};

TEST_F(CustomWallpapersServiceTest, NewestFirstAndEveryAssignmentAnnounced)
{
    EXPECT_TRUE(log_.contains(QStringLiteral("📁 [CustomWallpapersService] No custom wallpapers found, starting fresh")));
    QSignalSpy order(&custom(), &CustomWallpapersService::customOrderChanged);
    QSignalSpy records(&custom(), &CustomWallpapersService::customWallpapersChanged);
    custom().addCustomWallpaper(wallpaper(1, QStringLiteral("A")));
    custom().addCustomWallpaper(wallpaper(2, QStringLiteral("B")));
    custom().addCustomWallpaper(wallpaper(3, QStringLiteral("C")));
    EXPECT_EQ(order.size() + records.size(), 6);
    custom().addCustomWallpaper(wallpaper(1, QStringLiteral("A2")));
    EXPECT_EQ(order.size() + records.size(), 9) << "moving a listed key is two assignments of the order";
    EXPECT_TRUE(log_.contains(QStringLiteral("📁 [CustomWallpapersService] Added custom wallpaper 1 (A2)")));

    restart();
    EXPECT_EQ(titles(custom().orderedCustomWallpapers()),
        (QStringList{QStringLiteral("A2"), QStringLiteral("C"), QStringLiteral("B")}));
    EXPECT_TRUE(log_.contains(QStringLiteral("📁 [CustomWallpapersService] Loaded 3 custom wallpapers from UserDefaults")));

    log_.clear();
    custom().addCustomWallpaper(wallpaper(std::nullopt));
    EXPECT_EQ(log_.lines(), QStringList{QStringLiteral("⚠️ [CustomWallpapersService] Cannot add wallpaper - key is nil")});
}

TEST_F(CustomWallpapersServiceTest, ClearingTheCacheDeletesOnlyTheListedVideos)
{
    custom().addCustomWallpaper(wallpaper(1111111111));
    custom().addCustomWallpaper(wallpaper(2222222222));
    writeVideo(QStringLiteral("1111111111.mp4"));
    writeVideo(QStringLiteral("unrelated.mp4"));
    log_.clear();

    custom().clearCustomWallpapersCache();
    EXPECT_EQ(log_.lines(),
        (QStringList{QStringLiteral("🗑️ [CustomWallpapersService] Deleted file: 1111111111.mp4"),
            QStringLiteral("💾 [CustomWallpapersService] Saved 0 custom wallpapers to UserDefaults"),
            QStringLiteral("🗑️ [CustomWallpapersService] Cleared all custom wallpapers"),
            QStringLiteral("🗑️ [CustomWallpapersService] Cleared custom wallpapers cache: deleted 1 file(s)")}));
    EXPECT_EQ(QDir(custom().folderPath()).entryList(QDir::Files), QStringList{QStringLiteral("unrelated.mp4")});
    EXPECT_TRUE(restart().orderedCustomWallpapers().isEmpty());
    EXPECT_TRUE(log_.contains(QStringLiteral("📁 [CustomWallpapersService] Loaded 0 custom wallpapers from UserDefaults")));
}

TEST_F(CustomWallpapersServiceTest, AMissingFolderIsCreatedAndAnUnknownSupportFolderChangesNothing)
{
    custom().addCustomWallpaper(wallpaper(5));
    EXPECT_TRUE(custom().clearCustomWallpapersCache());
    EXPECT_TRUE(QDir(custom().folderPath()).exists());
    EXPECT_EQ(QFileInfo(custom().folderPath()).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeOther),
        QFile::Permissions()) << "the user's own videos are nobody else's to list";
    EXPECT_TRUE(log_.contains(QStringLiteral("🗑️ [CustomWallpapersService] Cleared custom wallpapers cache: deleted 0 file(s)")));

    restart().addCustomWallpaper(wallpaper(6));
    restart(QString());
    log_.clear();
    EXPECT_FALSE(custom().clearCustomWallpapersCache()) << "the caller learns that nothing was cleared";
    EXPECT_EQ(log_.lines(), QStringList{QStringLiteral("❌ [CustomWallpapersService] Could not access Application Support directory")});
    EXPECT_EQ(custom().customOrder(), QList<qint64>{6});
}

TEST_F(CustomWallpapersServiceTest, UnfinishedImportsAreSweptAndVideosKept)
{
    writeVideo(QStringLiteral("1111111111.mp4"));
    writeVideo(QStringLiteral("2222222222.mp4.part"));
    writeVideo(QStringLiteral("3333333333.MP4.PART"));
    log_.clear();

    custom().removeUnfinishedImports();
    EXPECT_EQ(QDir(custom().folderPath()).entryList(QDir::Files), QStringList{QStringLiteral("1111111111.mp4")});
    EXPECT_TRUE(log_.contains(QStringLiteral("🗑️ [CustomWallpapersService] Removed an unfinished import: 2222222222.mp4.part")));
    EXPECT_EQ(log_.lines().size(), 2);
}

} // namespace
