#include "LibraryFixture.h"

#include "foundation/Paths.h"
#include "library/CustomWallpapersService.h"

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

    void writeVideo(const QString& name)
    {
        QDir().mkpath(custom().folderPath());
        QFile file(custom().folderPath() + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("video");
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
    EXPECT_TRUE(log_.contains(QStringLiteral("📁 [CustomWallpapersService] No custom wallpapers found, starting fresh")));
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

// Only the unfinished copies an import of this program leaves go; every other file stays,
// whatever it is named.
TEST_F(CustomWallpapersServiceTest, OnlyThisProgramsUnfinishedImportsAreRemoved)
{
    const struct {
        const char* name;
        bool stays;
    } files[] = {
        {"2222222222.mp4.part", false},
        {"2222222222.mp4.previous.part", false},
        {"1111111111.mp4", true},
        {"3333333333.MP4.PART", true},
        {"film.mp4.part", true},
        {"notes.part", true},
        {"4444444444.part", true},
        {"4444444444.mp4.part.mp4", true},
    };
    QStringList staying;
    for (const auto& file : files) {
        writeVideo(QString::fromUtf8(file.name));
        if (file.stays)
            staying.append(QString::fromUtf8(file.name));
    }
    staying.sort();
    log_.clear();

    custom().removeUnfinishedImports();
    EXPECT_EQ(videos(), staying);
    EXPECT_EQ(log_.lines(),
        (QStringList{QStringLiteral("🗑️ [CustomWallpapersService] Removed an unfinished import: 2222222222.mp4.part"),
            QStringLiteral("🗑️ [CustomWallpapersService] Removed an unfinished import: 2222222222.mp4.previous.part")}));
}

// A video under an import's final name that no record names is listed again, named from its
// file, newest first; no file goes, and nothing a record names is listed twice.
TEST_F(CustomWallpapersServiceTest, VideosNoRecordNamesAreListedAgainAndNoFileGoes)
{
    custom().addCustomWallpaper(wallpaper(1111111111, QStringLiteral("Listed")));
    // An uploaded copy's record may name its file by address only.
    WallpaperModel uploaded = wallpaper(77, QStringLiteral("Uploaded"));
    uploaded.masterUrl = QUrl::fromLocalFile(custom().folderPath() + QStringLiteral("/5555555555.mp4"));
    custom().addCustomWallpaper(uploaded);
    const QStringList files{QStringLiteral("1111111111.mp4"), QStringLiteral("5555555555.mp4"), QStringLiteral("2222222222.mp4"),
        QStringLiteral("4444444444.mp4.part"), QStringLiteral("holiday.mp4"), QStringLiteral("6666666666.MP4"),
        // Not the name the program gives key 33 (nor one it can delete as that key's): left alone.
        QStringLiteral("0033.mp4"), QStringLiteral("99999999999999999999.mp4")};
    for (const QString& file : files)
        writeVideo(file);
    log_.clear();

    custom().adoptUnlistedVideos();
    EXPECT_EQ(custom().customOrder(), (QList<qint64>{2222222222, 77, 1111111111}));
    const WallpaperModel adopted = custom().customWallpapers().value(2222222222);
    EXPECT_EQ(adopted.title, QStringLiteral("2222222222"));
    EXPECT_EQ(adopted.masterUrl, QUrl::fromLocalFile(custom().folderPath() + QStringLiteral("/2222222222.mp4")));
    EXPECT_TRUE(log_.contains(QStringLiteral("📁 [CustomWallpapersService] Listed again a video no wallpaper named: 2222222222.mp4")));
    QStringList all = files;
    all.sort();
    EXPECT_EQ(videos(), all);

    restart().adoptUnlistedVideos();
    EXPECT_EQ(custom().customOrder(), (QList<qint64>{2222222222, 77, 1111111111})) << "stored, and not listed twice";
}

// Whatever lost a video's record (the settings gone, a backup from before the import restored,
// the list emptied), the video is listed again at the next launch, never deleted.
TEST_F(CustomWallpapersServiceTest, AVideoWhoseRecordWasLostIsListedAgainAtLaunch)
{
    const QString database = Paths::configuration() + QStringLiteral("/Quorvelle/standard.sqlite3");
    const QString backup = temp_.path() + QStringLiteral("/backup.sqlite3");
    const auto removeDatabase = [&database] {
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(database + suffix);
    };
    // Each runs with no store open: before the import, and after the quit that follows it.
    const struct {
        const char* name;
        std::function<void()> before;
        std::function<void()> after;
    } cases[] = {
        {"the settings missing", [] {}, removeDatabase},
        {"a backup from before the import restored", [&] { ASSERT_TRUE(QFile::copy(database, backup)); },
            [&] {
                removeDatabase();
                ASSERT_TRUE(QFile::copy(backup, database));
            }},
        {"the list emptied", [] {},
            [] {
                UserDefaults defaults;
                CustomWallpapersService(defaults, Paths::applicationSupport()).clearAllCustomWallpapers();
            }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(custom().folderPath()).removeRecursively();
        restart().clearAllCustomWallpapers();
        custom_.reset();
        defaults_.reset();
        QFile::remove(backup);
        c.before();
        restart();
        writeVideo(QStringLiteral("2222222222.mp4"));
        custom().addCustomWallpaper(wallpaper(2222222222, QStringLiteral("Imported")));
        custom_.reset();
        defaults_.reset();
        c.after();
        restart().adoptUnlistedVideos();
        EXPECT_EQ(custom().customOrder(), QList<qint64>{2222222222});
        EXPECT_EQ(videos(), QStringList{QStringLiteral("2222222222.mp4")});
        EXPECT_EQ(restart().customOrder(), QList<qint64>{2222222222}) << "stored";
    }
}

// A stored record that cannot be read is still its video's: the video is not listed over it, and
// neither are the other videos when that record keeps the whole list from being read.
TEST_F(CustomWallpapersServiceTest, AStoredRecordThatCannotBeReadIsNeverReplaced)
{
    const QByteArray kept = JsonWriter::toBytes(wallpaper(1111111111, QStringLiteral("Kept")).toJson());
    const QByteArray missingFields = R"({"key": 2222222222, "title": "Imported"})";
    const QByteArray cutShort = JsonWriter::toBytes(wallpaper(2222222222, QStringLiteral("Imported")).toJson()).left(20);
    for (const QByteArray& unreadable : {missingFields, cutShort}) {
        SCOPED_TRACE(unreadable.toStdString());
        restart().clearAllCustomWallpapers();
        SettingsChange::ListChange rows;
        rows.put = {{QStringLiteral("1111111111"), 0, kept}, {QStringLiteral("2222222222"), kRowGap, unreadable}};
        ASSERT_TRUE(defaults().changeRows(CustomWallpapersService::kCustomWallpapersKey, rows));
        writeVideo(QStringLiteral("1111111111.mp4"));
        writeVideo(QStringLiteral("2222222222.mp4"));
        const QList<StoredRow> stored = defaults().rows(CustomWallpapersService::kCustomWallpapersKey);

        restart().adoptUnlistedVideos();
        EXPECT_EQ(defaults().rows(CustomWallpapersService::kCustomWallpapersKey), stored);
        EXPECT_EQ(videos(), (QStringList{QStringLiteral("1111111111.mp4"), QStringLiteral("2222222222.mp4")}));
        EXPECT_TRUE(log_.contains(QStringLiteral(
            "⚠️ [CustomWallpapersService] Kept a video whose stored record cannot be read, and its record: 2222222222.mp4")));
    }
}

} // namespace
