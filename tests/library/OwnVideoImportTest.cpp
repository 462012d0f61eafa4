#include "library/OwnFixture.h"
#include "support/TestPaths.h"

#include "foundation/AppError.h"
#include "foundation/CancelledError.h"
#include "library/ImportProgress.h"
#include "library/OwnVideoFacts.h"
#include "library/OwnVideoImport.h"
#include "platform/FileError.h"
#include "platform/MediaError.h"

#include <QDirIterator>
#include <QScopeGuard>
#include <QTest>
#include <QThreadPool>

#include <algorithm>
#include <functional>

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

// Only what FFmpeg opens as an MPEG-4 video is taken, whatever the file is named; a refused
// file leaves no copy and no record.
TEST_F(OwnVideoImportTest, OnlyMpeg4VideosAreTakenByTheirContent)
{
    const QString empty = temp_.file(QStringLiteral("empty.mp4"));
    QFile(empty).open(QIODevice::WriteOnly);
    const QString noise = temp_.file(QStringLiteral("noise.mp4"));
    {
        QFile file(noise);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray bytes(300 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 7919 + 13) % 251);
        file.write(bytes);
    }
    for (const QString& refused : {empty, noise, TestPaths::dataFile(QStringLiteral("not-a-video.mp4")), clip(Clip::AudioOnly),
             clip(Clip::UhdMatroska)}) {
        SCOPED_TRACE(refused.toStdString());
        EXPECT_ANY_THROW(waitForTask(import_.importForPersonalUse(refused)));
        EXPECT_TRUE(filesInFolder().isEmpty());
        EXPECT_TRUE(store_.orderedCustomWallpapers().isEmpty());
    }

    // An MPEG-4 video named ".m4v" is as welcome as one named ".mp4", and kept private.
    const WallpaperModel kept = waitForTask(import_.importForPersonalUse(copyOf(Clip::Uhd, QStringLiteral("Harbor.M4V"))));
    EXPECT_EQ(kept.resolution, QStringLiteral("3840×2160"));
    ASSERT_TRUE(kept.masterUrl);
    const QFileInfo copy(kept.masterUrl->toLocalFile());
    EXPECT_EQ(copy.suffix(), QStringLiteral("mp4"));
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
        | QFile::WriteOther | QFile::ExeOther;
    EXPECT_EQ(copy.permissions() & others, QFile::Permissions());
    EXPECT_EQ(QFileInfo(store_.folderPath()).permissions() & others, QFile::Permissions());
}

// A large file that is no video is refused from what it says where it lies: not a byte is
// copied (the copy would report its progress), so the user hears at once rather than after
// gigabytes. Sparse files, so the test costs no disk.
TEST_F(OwnVideoImportTest, ALargeFileThatIsNoVideoIsRefusedBeforeAnythingIsCopied)
{
    constexpr qint64 kThreeGiB = qint64(3) << 30;
    const struct {
        const char* name;
        QByteArray head;
    } cases[] = {
        {"nothing at all", {}},
        {"an MPEG-4 head with nothing after it", QByteArray("\0\0\0\x18" "ftypisom\0\0\x02\0isomiso2", 24)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString source = temp_.file(QStringLiteral("big take.mp4"));
        {
            QFile file(source);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(c.head);
            ASSERT_TRUE(file.resize(kThreeGiB));
        }
        const std::shared_ptr<ImportProgress> progress = ImportProgress::make();
        QList<double> heard;
        // Reports are queued: one may come after the import's end, and none after this case.
        const QMetaObject::Connection hearing = QObject::connect(progress.get(), &ImportProgress::fractionChanged,
            progress.get(), [&](double fraction) { heard.append(fraction); });
        const auto stopHearing = qScopeGuard([&] { QObject::disconnect(hearing); });
        try {
            waitForTask(import_.importForPersonalUse(source, progress));
            ADD_FAILURE() << "a file without a video was taken";
        } catch (const MediaError& error) {
            // Told to the user as a file that is not a video it can play.
            EXPECT_EQ(error.kind(), MediaErrorKind::unreadable) << error.localizedDescription().toStdString();
        }
        EXPECT_TRUE(heard.isEmpty()) << "the copy began";
        EXPECT_TRUE(filesInFolder().isEmpty());
        EXPECT_TRUE(store_.orderedCustomWallpapers().isEmpty());
        EXPECT_ANY_THROW(waitForTask(import_.keepUploadedCopy(source, 4821, QStringLiteral("Big"), QStringLiteral("City"))));
        EXPECT_TRUE(filesInFolder().isEmpty());
        QFile::remove(source);
    }
    // A real video still comes in whole, with its copy's progress.
    const std::shared_ptr<ImportProgress> progress = ImportProgress::make();
    const WallpaperModel kept = waitForTask(import_.importForPersonalUse(copyOf(Clip::SmallLong, QStringLiteral("small.mp4")), progress));
    EXPECT_DOUBLE_EQ(progress->fraction(), 1.0);
    EXPECT_EQ(QFileInfo(kept.masterUrl->toLocalFile()).size(), QFileInfo(clip(Clip::SmallLong)).size());
    EXPECT_EQ(kept.resolution, QStringLiteral("320×180"));
}

TEST(OwnVideoNamesTest, BothPathsOfferAndTakeTheSameNames)
{
    for (const char* name : {"a.mp4", "b.MP4", "c.m4v", "d.M4V"})
        EXPECT_TRUE(OwnVideoFacts::hasAcceptedName(QString::fromUtf8(name))) << name;
    for (const char* name : {"a.mov", "b.mkv", "c.mp4.part", "mp4"})
        EXPECT_FALSE(OwnVideoFacts::hasAcceptedName(QString::fromUtf8(name))) << name;
    EXPECT_EQ(OwnVideoFacts::fileDialogFilter(), QStringLiteral("MPEG-4 movie (*.mp4 *.MP4 *.m4v *.M4V)"));
}

TEST_F(OwnVideoImportTest, TheCopyReportsItsProgressAndAStopLeavesNothingBehind)
{
    // A real video padded past one copied block, so the copy reports on its way and can be
    // stopped there, and what lands is still a video the import takes.
    const QString source = copyOf(Clip::Uhd, QStringLiteral("long take.mp4"));
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(QByteArray(20 << 20, '\0'));
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
        EXPECT_TRUE(QTest::qWaitFor([&] { return !heard.isEmpty(); }, 10'000));
        EXPECT_TRUE(std::is_sorted(heard.begin(), heard.end()));
    }
    EXPECT_EQ(store_.orderedCustomWallpapers().size(), 1) << "only the finished copy is listed";
}

TEST_F(OwnVideoImportTest, AStopDuringALargeCopyEndsTheImportBeforeTheCopyDoes)
{
    // Half a GiB past the video: far more than the copy gets through before the test's stop.
    const QString source = copyOf(Clip::Uhd, QStringLiteral("very long take.mp4"));
    {
        QFile file(source);
        ASSERT_TRUE(file.resize(file.size() + (qint64(512) << 20)));
    }
    const QStringList before = filesInFolder();
    const std::shared_ptr<ImportProgress> progress = ImportProgress::make();
    double stoppedAt = -1;
    // Stopped as a click would: on the GUI thread, once the copy is under way.
    const QMetaObject::Connection stopping = QObject::connect(progress.get(), &ImportProgress::fractionChanged,
        progress.get(), [&](double fraction) {
            if (stoppedAt < 0) {
                stoppedAt = fraction;
                progress->cancel();
            }
        });
    const auto stopHearing = qScopeGuard([&] { QObject::disconnect(stopping); });
    EXPECT_THROW(waitForTask(import_.importForPersonalUse(source, progress)), CancelledError);
    EXPECT_GE(stoppedAt, 0) << "the stop came during the copy";
    EXPECT_LT(progress->fraction(), 1.0) << "the import ended before the copy's end";
    EXPECT_EQ(filesInFolder(), before) << "no copy and no staging file";
    EXPECT_TRUE(store_.orderedCustomWallpapers().isEmpty());
}

// The application's end waits for the pool's work but resumes no coroutine: a copy that finishes
// then must not be left under its final name without a record.
TEST_F(OwnVideoImportTest, ACopyTakesItsFinalNameOnlyWithItsRecord)
{
    const QString source = copyOf(Clip::Uhd, QStringLiteral("clip.mp4"));
    const struct {
        const char* name;
        std::function<QCoro::Task<WallpaperModel>()> start;
    } imports[] = {
        {"personal use", [&] { return import_.importForPersonalUse(source); }},
        {"uploaded copy", [&] { return import_.keepUploadedCopy(source, 4821, QStringLiteral("Night Drive"), QStringLiteral("City")); }},
    };
    for (const auto& started : imports) {
        SCOPED_TRACE(started.name);
        const qsizetype listed = store_.customOrder().size();
        QCoro::Task<WallpaperModel> import = started.start();
        QThreadPool::globalInstance()->waitForDone();
        for (const QString& name : filesInFolder()) {
            const bool recorded = store_.customWallpapers().contains(QFileInfo(name).baseName().toLongLong());
            EXPECT_TRUE(recorded || name.endsWith(QStringLiteral(".part"))) << name.toStdString() << " has no record";
        }
        EXPECT_EQ(store_.customOrder().size(), listed);

        const WallpaperModel added = waitForTask(std::move(import));
        EXPECT_EQ(store_.customOrder().value(0), added.key);
        EXPECT_TRUE(QFile::exists(added.masterUrl->toLocalFile()));
    }
}

TEST_F(OwnVideoImportTest, TheApplicationsEndStopsACopyUnderWayAndAnyLaterOne)
{
    const QString source = copyOf(Clip::Uhd, QStringLiteral("very long take.mp4"));
    {
        QFile file(source);
        ASSERT_TRUE(file.resize(file.size() + (qint64(512) << 20)));
    }
    const std::shared_ptr<ImportProgress> progress = ImportProgress::make();
    QCoro::Task<WallpaperModel> import = import_.importForPersonalUse(source, progress);
    ASSERT_TRUE(QTest::qWaitFor([&] { return progress->fraction() > 0; }, 30'000));
    // As the application ends: the stop, then the wait for the pool, with no turn of the loop.
    store_.stopImports();
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_LT(progress->fraction(), 1.0) << "the copy ran on to its end";
    EXPECT_TRUE(filesInFolder().isEmpty()) << filesInFolder().join(u' ').toStdString();

    EXPECT_THROW(waitForTask(std::move(import)), CancelledError);
    EXPECT_THROW(waitForTask(import_.keepUploadedCopy(source, 4821, QStringLiteral("Late"), QStringLiteral("City"))), CancelledError);
    EXPECT_TRUE(filesInFolder().isEmpty());
    EXPECT_TRUE(store_.orderedCustomWallpapers().isEmpty());
}

TEST_F(OwnVideoImportTest, AStopAfterTheLastBlockIsStillHonoured)
{
    // One block: the first report is the last, and the click lands after it.
    const QString source = copyOf(Clip::Uhd, QStringLiteral("short take.mp4"));
    const std::shared_ptr<ImportProgress> progress = ImportProgress::make();
    ImportProgress* const clicked = progress.get();
    QObject::connect(clicked, &ImportProgress::fractionChanged, clicked, [clicked](double fraction) {
        if (fraction >= 1.0)
            clicked->cancel();
    });
    EXPECT_THROW(waitForTask(import_.importForPersonalUse(source, progress)), CancelledError);
    EXPECT_DOUBLE_EQ(progress->fraction(), 1.0);
    EXPECT_TRUE(filesInFolder().isEmpty()) << filesInFolder().join(u' ').toStdString();
    EXPECT_TRUE(store_.orderedCustomWallpapers().isEmpty());
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
    EXPECT_ANY_THROW(waitForTask(import_.keepUploadedCopy(TestPaths::dataFile(QStringLiteral("not-a-video.mp4")), 77,
        QStringLiteral("Broken"), QStringLiteral("City"))));
    EXPECT_FALSE(QFile::exists(store_.folderPath() + QStringLiteral("/77.mp4")));
    EXPECT_TRUE(log_.contains(QStringLiteral("❌ [FullScreenView] Failed to process custom wallpaper: ")));
}

} // namespace
