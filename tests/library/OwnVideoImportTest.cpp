#include "library/OwnFixture.h"

#include "foundation/AppError.h"
#include "foundation/CancelledError.h"
#include "library/ImportProgress.h"
#include "library/OwnVideoImport.h"
#include "platform/FileError.h"

#include <QDirIterator>

#include <algorithm>

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

TEST_F(OwnVideoImportTest, TheCopyReportsItsProgressAndAStopLeavesNothingBehind)
{
    // Larger than one copied block, so the copy reports on its way and can be stopped there.
    const QString source = temp_.file(QStringLiteral("long take.mp4"));
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(20 << 20, 'v'));
    }
    const struct {
        const char* name;
        bool stop;
    } cases[] = {{"left to finish", false}, {"stopped before it began", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList before = filesInFolder();
        const std::shared_ptr<ImportProgress> progress = ImportProgress::make();
        QList<double> heard;
        QObject::connect(progress.get(), &ImportProgress::fractionChanged, progress.get(),
            [&](double fraction) { heard.append(fraction); });
        if (c.stop) {
            // The worker sees the stop at its first block, as it would a click during the copy.
            progress->cancel();
            EXPECT_THROW(waitForTask(import_.importForPersonalUse(source, progress)), CancelledError);
            EXPECT_EQ(filesInFolder(), before) << "no copy and no staging file";
            EXPECT_LT(progress->fraction(), 1.0);
        } else {
            const WallpaperModel added = waitForTask(import_.importForPersonalUse(source, progress));
            EXPECT_DOUBLE_EQ(progress->fraction(), 1.0);
            EXPECT_EQ(store_.customOrder().value(0), added.key);
        }
        EXPECT_FALSE(heard.isEmpty());
        EXPECT_TRUE(std::is_sorted(heard.begin(), heard.end()));
    }
    EXPECT_EQ(store_.orderedCustomWallpapers().size(), 1) << "only the finished copy is listed";
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
