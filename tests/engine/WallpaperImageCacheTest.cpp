#include "foundation/Log.h"
#include "support/TaskWait.h"
#include "engine/WallpaperImageCache.h"
#include "support/HeldWorkerPool.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

const QUrl kPoster(QStringLiteral("https://assets.example/wallpaper/1/poster.webp"));
const QUrl kThumbnail(QStringLiteral("https://assets.example/wallpaper/1/thumbnail.webp"));

QImage filled(QColor colour, QSize size = QSize(60, 34))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

class WallpaperImageCacheTest : public ::testing::Test {
protected:
    QString folder(const QString& name) const { return cache_.baseDirectory() + QLatin1Char('/') + name; }

    TempFolder temp_;
    WallpaperImageCache cache_;
};

TEST_F(WallpaperImageCacheTest, AddressesMapToAStableNameInTheirFolder)
{
    struct Case {
        QString url;
        QString folder;
        QString extension;
    };
    for (const Case& c : {Case{QStringLiteral("https://h/wallpaper/1/thumbnail.webp"), QStringLiteral("thumbnails"), QStringLiteral("webp")},
             Case{QStringLiteral("https://h/wallpaper/1/poster.webp"), QStringLiteral("posters"), QStringLiteral("webp")},
             Case{QStringLiteral("https://h/posters/thumb.png"), QStringLiteral("thumbnails"), QStringLiteral("png")},
             Case{QStringLiteral("https://h/images/cover.jpg"), QStringLiteral("thumbnails"), QStringLiteral("jpg")},
             Case{QStringLiteral("https://h/POSTER"), QStringLiteral("posters"), QStringLiteral("webp")},
             // Only a short plain extension passes into the file name.
             Case{QStringLiteral("https://h/a/poster.JPEG2000"), QStringLiteral("posters"), QStringLiteral("JPEG2000")},
             Case{QStringLiteral("https://h/a/poster.jpeg20000"), QStringLiteral("posters"), QStringLiteral("webp")},
             Case{QStringLiteral("https://h/a/poster.we%20bp"), QStringLiteral("posters"), QStringLiteral("webp")},
             Case{QStringLiteral("https://h/a/poster.p-g"), QStringLiteral("posters"), QStringLiteral("webp")},
             Case{QStringLiteral("https://h/a/poster."), QStringLiteral("posters"), QStringLiteral("webp")}}) {
        SCOPED_TRACE(qPrintable(c.url));
        const QFileInfo file(cache_.filePath(QUrl(c.url)));
        EXPECT_EQ(file.absolutePath(), folder(c.folder));
        EXPECT_EQ(file.suffix(), c.extension);
    }
    // The same name in every run and on every machine, so files survive a restart.
    EXPECT_EQ(WallpaperImageCache::fileName(kPoster), QStringLiteral("7563179836417824290.webp"));
}

TEST_F(WallpaperImageCacheTest, AStoredImageIsInMemoryAtOnceAndOnDiskAsPngAfterARestart)
{
    cache_.store(filled(Qt::red), kPoster);
    EXPECT_EQ(cache_.image(kPoster).pixelColor(0, 0), QColor(Qt::red));
    cache_.waitForDiskWrites();

    QFile file(cache_.filePath(kPoster));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("\x89PNG"));
    EXPECT_EQ(filesIn(folder(QStringLiteral("posters"))).size(), 1); // no temporary file left beside it

    WallpaperImageCache restarted(cache_.baseDirectory());
    EXPECT_EQ(restarted.image(kPoster).pixelColor(5, 5), QColor(Qt::red));
    EXPECT_TRUE(restarted.image(kThumbnail).isNull());
}

TEST_F(WallpaperImageCacheTest, ACorruptFileIsDroppedNotShown)
{
    for (const QByteArray& content : {QByteArray("not an image"), QByteArray("\x89PNG\r\n\x1a\n truncated"), QByteArray()}) {
        QFile file(cache_.filePath(kThumbnail));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        LogCapture log;
        EXPECT_TRUE(cache_.image(kThumbnail).isNull());
        EXPECT_FALSE(QFileInfo::exists(cache_.filePath(kThumbnail)));
        EXPECT_TRUE(log.contains(QStringLiteral("⚠️ [WallpaperImageCache] Dropped unreadable cached image ")));
    }
}

TEST_F(WallpaperImageCacheTest, ClearingEmptiesBothLevelsAndKeepsTheFolders)
{
    cache_.store(filled(Qt::red), kPoster);
    cache_.store(filled(Qt::blue), kThumbnail);
    cache_.waitForDiskWrites();
    QDir().mkpath(folder(QStringLiteral("thumbnails/stray")));
    EXPECT_GT(cache_.diskCacheSize(), 0);

    LogCapture log;
    waitForTask(cache_.clearAll());
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("🗑️ [WallpaperImageCache] Cleared all image caches (memory and disk)")});
    EXPECT_TRUE(filesIn(folder(QStringLiteral("thumbnails"))).isEmpty());
    EXPECT_TRUE(filesIn(folder(QStringLiteral("posters"))).isEmpty());
    EXPECT_EQ(cache_.diskCacheSize(), 0);
    EXPECT_TRUE(cache_.image(kPoster).isNull());
    EXPECT_TRUE(cache_.image(kThumbnail).isNull());
}

TEST_F(WallpaperImageCacheTest, ClearingRemovesFilesOnAWorkerWhileTheCacheStaysUsable)
{
    cache_.store(filled(Qt::red), kPoster);
    cache_.waitForDiskWrites();
    const QString posterFile = cache_.filePath(kPoster);
    ASSERT_TRUE(QFileInfo::exists(posterFile));

    HeldWorkerPool workers;
    QCoro::Task<int> clearing = cache_.clearAll();
    EXPECT_TRUE(QFileInfo::exists(posterFile)) << "removed on the GUI thread";
    EXPECT_TRUE(cache_.memoryImage(kPoster).isNull());
    cache_.store(filled(Qt::blue), kThumbnail);
    EXPECT_EQ(cache_.memoryImage(kThumbnail).pixelColor(0, 0), QColor(Qt::blue));

    workers.release();
    waitForTask(std::move(clearing));
    cache_.waitForDiskWrites();
    EXPECT_FALSE(QFileInfo::exists(posterFile));
    // Stored during the clearing: its file is written after the removal, not taken by it.
    EXPECT_EQ(WallpaperImageCache::readFile(cache_.diskPath(kThumbnail)).pixelColor(0, 0), QColor(Qt::blue));
}

// The quit stops the writes still to come: whatever it catches under way leaves its file whole
// or no file, and images stored afterwards stay in memory.
TEST_F(WallpaperImageCacheTest, StoppedWritesLeaveWholeFilesOrNoneAndLaterImagesInMemoryOnly)
{
    // Large enough that the stop finds writes queued and under way.
    std::vector<std::pair<QUrl, QRgb>> stored;
    for (int i = 0; i < 12; ++i) {
        const QUrl url(QStringLiteral("https://assets.example/wallpaper/%1/poster.webp").arg(i));
        const QRgb colour = QColor::fromHsv(i * 30, 200, 200).rgb();
        cache_.store(filled(colour, QSize(1920, 1080)), url);
        stored.emplace_back(url, colour);
    }
    cache_.stopDiskWrites();
    cache_.store(filled(Qt::green), kThumbnail);
    cache_.waitForDiskWrites();

    QStringList expectedNames;
    for (const auto& [url, colour] : stored) {
        EXPECT_EQ(cache_.memoryImage(url).pixel(0, 0), colour);
        expectedNames << WallpaperImageCache::fileName(url);
        if (QFileInfo::exists(cache_.filePath(url))) {
            EXPECT_EQ(WallpaperImageCache::readFile(cache_.filePath(url)).pixel(1919, 1079), colour) << "a file cut short";
        }
    }
    for (const QString& name : filesIn(folder(QStringLiteral("posters"))))
        EXPECT_TRUE(expectedNames.contains(name)) << "left behind: " << name.toStdString();
    EXPECT_EQ(cache_.memoryImage(kThumbnail).pixelColor(0, 0), QColor(Qt::green));
    EXPECT_TRUE(filesIn(folder(QStringLiteral("thumbnails"))).isEmpty());

    // Stopping is the quit's: the next run writes again.
    WallpaperImageCache restarted(cache_.baseDirectory());
    restarted.store(filled(Qt::green), kThumbnail);
    restarted.waitForDiskWrites();
    EXPECT_EQ(WallpaperImageCache::readFile(restarted.filePath(kThumbnail)).pixelColor(0, 0), QColor(Qt::green));
}

TEST_F(WallpaperImageCacheTest, MemoryKeepsTheMostRecentlyUsedImagesWithinItsLimit)
{
    // Room for two 60x34 images of 4 bytes a pixel, not three.
    WallpaperImageCache small(cache_.baseDirectory(), 2 * 60 * 34 * 4);
    const QUrl third(QStringLiteral("https://assets.example/wallpaper/3/poster.webp"));
    small.store(filled(Qt::red), kPoster);
    small.store(filled(Qt::blue), kThumbnail);
    small.image(kPoster); // used last: kThumbnail is now the oldest
    small.store(filled(Qt::green), third);
    small.waitForDiskWrites();
    for (const QUrl& url : {kPoster, kThumbnail, third})
        QFile::remove(small.filePath(url));

    EXPECT_FALSE(small.image(kPoster).isNull());
    EXPECT_TRUE(small.image(kThumbnail).isNull());
    EXPECT_FALSE(small.image(third).isNull());
}

TEST_F(WallpaperImageCacheTest, WithoutACachesFolderImagesLiveInMemoryOnly)
{
    // A file where the folder should be: no folder can be made there.
    const QString blocked = temp_.file(QStringLiteral("blocked"));
    QFile blocker(blocked);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    LogCapture log;
    WallpaperImageCache memoryOnly(blocked + QStringLiteral("/images"));
    EXPECT_FALSE(memoryOnly.hasDiskLevel());
    memoryOnly.store(filled(Qt::red), kPoster);
    memoryOnly.store(filled(Qt::blue), kThumbnail);
    memoryOnly.waitForDiskWrites();
    EXPECT_EQ(memoryOnly.image(kPoster).pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(memoryOnly.diskCacheSize(), 0);
    EXPECT_EQ(log.lines(),
        QStringList{QStringLiteral("⚠️ [WallpaperImageCache] No caches folder at ") + blocked
            + QStringLiteral("/images: images are kept in memory only")});
}

} // namespace
