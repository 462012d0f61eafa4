#include "LibraryFixture.h"

#include "foundation/Paths.h"
#include "library/CustomWallpapersService.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <functional>

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

    void writeVideo(const QString& name, const QDateTime& written = QDateTime::currentDateTime())
    {
        QDir().mkpath(custom().folderPath());
        QFile file(custom().folderPath() + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("video");
        file.flush();
        ASSERT_TRUE(file.setFileTime(written, QFileDevice::FileModificationTime));
    }
    QStringList videos() const
    {
        QStringList names = QDir(custom_->folderPath()).entryList(QDir::Files);
        names.sort();
        return names;
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

// Videos an earlier version left under a final name with no record go at launch; nothing that a
// record names, that is not a finished import, or that another running copy may be recording.
TEST_F(CustomWallpapersServiceTest, VideosNoRecordNamesGoAndEveryOtherFileStays)
{
    const QDateTime lastWeek = QDateTime::currentDateTime().addDays(-7);
    custom().addCustomWallpaper(wallpaper(1111111111));
    // An uploaded copy's record may name its file by address only.
    WallpaperModel uploaded = wallpaper(77);
    uploaded.masterUrl = QUrl::fromLocalFile(custom().folderPath() + QStringLiteral("/5555555555.mp4"));
    custom().addCustomWallpaper(uploaded);
    const struct {
        const char* name;
        QDateTime written;
        bool stays;
    } files[] = {
        {"1111111111.mp4", lastWeek, true},    // its record's key
        {"5555555555.mp4", lastWeek, true},    // its record's address
        {"2222222222.mp4", lastWeek, false},   // no record
        {"3333333333.mp4", QDateTime::currentDateTime(), true}, // just renamed, maybe not yet recorded
        {"4444444444.mp4.part", lastWeek, true}, // an import under way elsewhere
        {"holiday.mp4", lastWeek, true},       // not a name an import gives
        {"6666666666.MP4", lastWeek, true},
    };
    QStringList staying;
    for (const auto& file : files) {
        writeVideo(QString::fromUtf8(file.name), file.written);
        if (file.stays)
            staying.append(QString::fromUtf8(file.name));
    }
    staying.sort();
    log_.clear();
    custom().removeOrphanedVideos();
    EXPECT_EQ(videos(), staying);
    EXPECT_EQ(log_.lines(), QStringList{QStringLiteral("🗑️ [CustomWallpapersService] Removed a video no wallpaper names: 2222222222.mp4")});
}

TEST_F(CustomWallpapersServiceTest, NoVideoGoesWhileTheListMayLackRecords)
{
    const QDateTime lastWeek = QDateTime::currentDateTime().addDays(-7);
    const struct {
        const char* name;
        std::function<void()> damage;
    } cases[] = {
        {"a record that cannot be read", [this] { store(CustomWallpapersService::kCustomWallpapersKey, {wallpaper(1).toJson(), QJsonValue(7)}); }},
        {"a damaged store set aside", [] {
             QFile file(Paths::configuration() + QStringLiteral("/Quorvelle/standard.json"));
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write("{ not json");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restart().clearAllCustomWallpapers();
        defaults().flush();
        c.damage();
        restart();
        writeVideo(QStringLiteral("2222222222.mp4"), lastWeek);
        log_.clear();
        custom().removeOrphanedVideos();
        EXPECT_EQ(videos(), QStringList{QStringLiteral("2222222222.mp4")}) << "its record may be in the backup";
        EXPECT_TRUE(log_.contains(QStringLiteral("⚠️ [CustomWallpapersService] Kept 1 video(s) no wallpaper names: the stored list may be missing some")));
    }
}

} // namespace
