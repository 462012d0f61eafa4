#include "library/OwnFixture.h"

#include "foundation/AppError.h"
#include "library/OwnVideoImport.h"
#include "platform/FileError.h"

#include <QDirIterator>

namespace {

class OwnVideoImportTest : public OwnFixture {
protected:
    QStringList filesInFolder() const
    {
        return QDir(store_.folderPath()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
    OwnVideoImport import_{store_, media_};
};

TEST_F(OwnVideoImportTest, PersonalVideoIsCopiedDescribedAndListedFirst)
{
    const QString source = copyOf(Clip::Uhd, QStringLiteral("NEON CITY 4K.mp4"));
    const WallpaperModel first = waitForTask(import_.importForPersonalUse(source));
    const WallpaperModel second = waitForTask(import_.importForPersonalUse(source));
    ASSERT_TRUE(first.key && second.key);
    EXPECT_NE(*first.key, *second.key);
    EXPECT_GE(*first.key, 1'000'000'000);
    EXPECT_LE(*first.key, 9'999'999'999);
    EXPECT_EQ(first.title, QStringLiteral("Neon City"));
    EXPECT_EQ(first.resolution, QStringLiteral("3840×2160"));
    EXPECT_TRUE(first.is_4k);
    EXPECT_EQ(first.masterUrl, QUrl::fromLocalFile(store_.folderPath() + QStringLiteral("/%1.mp4").arg(*first.key)));
    EXPECT_EQ(store_.customOrder(), (QList<qint64>{*second.key, *first.key}));
    EXPECT_EQ(filesInFolder().size(), 2) << "no staging file is left";
    EXPECT_TRUE(log_.contains(QStringLiteral("✅ [CustomView] Personal use wallpaper added: Neon City")));
}

TEST_F(OwnVideoImportTest, PersonalVideoWithoutReadableFactsIsStillKept)
{
    const QString source = QStringLiteral(QUORVELLE_TEST_DATA_DIR "/not-a-video.mp4");
    const WallpaperModel kept = waitForTask(import_.importForPersonalUse(source));
    EXPECT_EQ(kept.duration, QStringLiteral("0:00s"));
    EXPECT_FALSE(kept.resolution);
    ASSERT_TRUE(kept.masterUrl);
    EXPECT_EQ(QFileInfo(kept.masterUrl->toLocalFile()).size(), QFileInfo(source).size());
    EXPECT_EQ(filesInFolder().size(), 1);
}

TEST_F(OwnVideoImportTest, DrawnKeyAvoidsListedKeysAndFiles)
{
    QSet<qint64> seen;
    const qint64 key = OwnVideoImport::drawKey([&](qint64 candidate) {
        seen.insert(candidate);
        return seen.size() < 3; // the first two draws are taken
    });
    EXPECT_EQ(seen.size(), 3);
    EXPECT_TRUE(seen.contains(key));
    EXPECT_THROW(OwnVideoImport::drawKey([](qint64) { return true; }), MessageError);
}

TEST_F(OwnVideoImportTest, FailuresLeaveNothingBehind)
{
    // A file that does not exist, then a folder that cannot be made (a file holds its name).
    EXPECT_THROW(waitForTask(import_.importForPersonalUse(temp_.file(QStringLiteral("missing.mp4")))), FileError);
    const QString source = copyOf(Clip::Uhd, QStringLiteral("clip.mp4"));
    QDir().mkpath(QFileInfo(store_.folderPath()).path());
    QFile blocker(store_.folderPath());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_THROW(waitForTask(import_.importForPersonalUse(source)), FileError);
    QFile::remove(store_.folderPath());
    EXPECT_TRUE(store_.orderedCustomWallpapers().isEmpty());
    EXPECT_TRUE(log_.contains(QStringLiteral("❌ [CustomView] Failed to add personal use wallpaper: ")));

    CustomWallpapersService noFolder(defaults_, QString());
    OwnVideoImport nowhere(noFolder, media_);
    try {
        waitForTask(nowhere.importForPersonalUse(source));
        ADD_FAILURE() << "imported without a folder";
    } catch (const MessageError& error) {
        EXPECT_EQ(error.localizedDescription(), QStringLiteral("Could not access Application Support directory"));
    }
}

TEST_F(OwnVideoImportTest, UploadedCopyReplacesItsKeyOrGoesAgain)
{
    QDir().mkpath(store_.folderPath());
    const QString existing = store_.folderPath() + QStringLiteral("/4821.mp4");
    QFile old(existing);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    const WallpaperModel kept = waitForTask(import_.keepUploadedCopy(copyOf(Clip::Uhd, QStringLiteral("a.mp4")), 4821,
        QStringLiteral("Night Drive"), QStringLiteral("City")));
    EXPECT_EQ(kept.key, 4821);
    EXPECT_EQ(kept.category, QStringLiteral("City"));
    EXPECT_GT(QFileInfo(existing).size(), 3);
    EXPECT_EQ(store_.customOrder(), QList<qint64>{4821});

    // A copy whose facts cannot be read is not kept.
    EXPECT_ANY_THROW(waitForTask(import_.keepUploadedCopy(QStringLiteral(QUORVELLE_TEST_DATA_DIR "/not-a-video.mp4"), 77,
        QStringLiteral("Broken"), QStringLiteral("City"))));
    EXPECT_FALSE(QFile::exists(store_.folderPath() + QStringLiteral("/77.mp4")));
    EXPECT_TRUE(log_.contains(QStringLiteral("❌ [FullScreenView] Failed to process custom wallpaper: ")));
}

} // namespace
