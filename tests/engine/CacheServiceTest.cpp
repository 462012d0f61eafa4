#include "engine/CacheService.h"
#include "engine/VideoCacheService.h"
#include "engine/WallpaperDownloadService.h"
#include "engine/WallpaperImageCache.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "support/TaskWait.h"
#include "support/TempFolder.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, qint64 size, char fill = 'x')
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
    file.write(QByteArray(size, fill));
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A cache folder as a user's machine holds it after some use, with the real services on it.
class CacheServiceTest : public ::testing::Test {
protected:
    QString caches(const QString& relative) const { return Paths::appCaches() + QLatin1Char('/') + relative; }
    QString support(const QString& relative) const { return Paths::appSupport() + QLatin1Char('/') + relative; }

    // 4 MiB in the counted places, plus files that are kept and not counted.
    void populate()
    {
        writeFile(caches(QStringLiteral("Wallpapers/1234.mp4")), 1 << 20);
        writeFile(caches(QStringLiteral("Wallpapers/old/nested.mp4")), 4096); // a subfolder counts nothing
        writeFile(caches(QStringLiteral("conversions/w.mov.part")), 128 << 10); // a conversion cut by a crash
        writeFile(caches(QStringLiteral("conversions/x.MOV")), 128 << 10);
        writeFile(caches(QStringLiteral("conversions/y.mov")), 256 << 10);
        writeFile(caches(QStringLiteral("conversions/z.mp4")), 1000);
        writeFile(caches(QStringLiteral("videos/preview/7.mp4")), 256 << 10);
        writeFile(caches(QStringLiteral("videos/previewhd/7.mp4")), 256 << 10);
        writeFile(caches(QStringLiteral("videos/stray.mp4")), 1000);
        writeFile(caches(QStringLiteral("images/thumbnails/1.webp")), 512 << 10);
        writeFile(caches(QStringLiteral("images/posters/2.webp")), 512 << 10);
        writeFile(caches(QStringLiteral("api_cache.json")), 100, '{');
        writeFile(support(QStringLiteral("custom/mine.mp4")), 2000);
        writeFile(support(QStringLiteral("custom/1234567890.mp4.part")), 1 << 20); // an import cut by a kill
    }

    TempFolder temp_;
    WallpaperImageCache images_;
    VideoCacheService previews_;
    WallpaperDownloadService masters_;
    CacheService service_{images_, previews_, masters_};
};

TEST_F(CacheServiceTest, SizeCountsMastersMoviesImagesAndPreviewsOnly)
{
    EXPECT_EQ(service_.cacheSizeMB(), 0.0);
    populate();
    EXPECT_EQ(service_.cacheSizeMB(), 4.0);
    EXPECT_EQ(waitForTask(service_.cacheSizeMBAsync()), 4.0);
}

TEST_F(CacheServiceTest, SizeWithoutMasterOrConversionFoldersIsTheImageAndPreviewCaches)
{
    writeFile(caches(QStringLiteral("images/posters/2.webp")), 1 << 20);
    writeFile(caches(QStringLiteral("videos/preview/7.mp4")), 1 << 19);
    EXPECT_EQ(service_.cacheSizeMB(), 1.5);
    EXPECT_FALSE(QFileInfo::exists(caches(QStringLiteral("Wallpapers"))));
    EXPECT_FALSE(QFileInfo::exists(caches(QStringLiteral("conversions"))));
}

TEST_F(CacheServiceTest, ClearingEmptiesEveryCacheButKeepsOwnVideosAndTheResponseCache)
{
    populate();
    LogCapture log;
    waitForTask(service_.clearAllCaches());

    for (const QString& folder : {QStringLiteral("Wallpapers"), QStringLiteral("videos/preview"),
             QStringLiteral("videos/previewhd"), QStringLiteral("images/thumbnails"), QStringLiteral("images/posters")}) {
        SCOPED_TRACE(qPrintable(folder));
        EXPECT_TRUE(QFileInfo(caches(folder)).isDir());
        EXPECT_TRUE(entriesOf(caches(folder)).isEmpty());
    }
    EXPECT_EQ(entriesOf(caches(QStringLiteral("conversions"))), QStringList{QStringLiteral("z.mp4")});
    EXPECT_EQ(QFileInfo(caches(QStringLiteral("api_cache.json"))).size(), 100);
    EXPECT_TRUE(QFileInfo::exists(caches(QStringLiteral("videos/stray.mp4"))));
    EXPECT_TRUE(QFileInfo::exists(support(QStringLiteral("custom/mine.mp4"))));
    // An unfinished import may be one still running: only the launch sweep takes it.
    EXPECT_TRUE(QFileInfo::exists(support(QStringLiteral("custom/1234567890.mp4.part"))));
    EXPECT_EQ(service_.cacheSizeMB(), 1.0);

    EXPECT_EQ(log.lines(), (QStringList{
        QStringLiteral("🗑️ [WallpaperImageCache] Cleared all image caches (memory and disk)"),
        QStringLiteral("🗑️ [VideoCacheService] Cleared preview video cache"),
        QStringLiteral("🗑️ [CacheService] Deleted .mov file: w.mov.part"),
        QStringLiteral("🗑️ [CacheService] Deleted .mov file: x.MOV"),
        QStringLiteral("🗑️ [CacheService] Deleted .mov file: y.mov"),
        QStringLiteral("✅ [CacheService] Cleared 3 .mov file(s) from Caches"),
        QStringLiteral("✅ [CacheService] All caches cleared (custom wallpapers preserved)"),
    }));
}

// What a kill left half-written is swept at launch and counted nowhere after; finished files
// and an own-video import (its own service sweeps those) stay.
TEST_F(CacheServiceTest, TheLaunchSweepRemovesUnfinishedFilesOnly)
{
    populate();
    const QStringList unfinished{QStringLiteral("videos/preview/7.mp4.part"), QStringLiteral("videos/previewhd/8.mp4.part"),
        QStringLiteral("Wallpapers/1234.mp4.3.part"), QStringLiteral("conversions/1234.mov.part")};
    for (const QString& file : unfinished)
        writeFile(caches(file), 1 << 20);
    LogCapture log;
    service_.removeUnfinishedFiles();

    for (const QString& file : unfinished)
        EXPECT_FALSE(QFileInfo::exists(caches(file))) << qPrintable(file);
    EXPECT_FALSE(QFileInfo::exists(caches(QStringLiteral("conversions/w.mov.part"))));
    EXPECT_TRUE(QFileInfo::exists(support(QStringLiteral("custom/1234567890.mp4.part"))));
    EXPECT_EQ(log.lines().size(), unfinished.size() + 1);
    EXPECT_TRUE(log.contains(QStringLiteral("🗑️ [CacheService] Removed an unfinished file: ") + caches(QStringLiteral("conversions/1234.mov.part"))));
    EXPECT_EQ(service_.cacheSizeMB(), 4.0 - 0.125);
}

TEST_F(CacheServiceTest, ClearingWithoutConversionsWritesNoCountLine)
{
    LogCapture log;
    waitForTask(service_.clearAllCaches());
    EXPECT_FALSE(log.contains(QStringLiteral(".mov")));
    EXPECT_EQ(log.lines().last(), QStringLiteral("✅ [CacheService] All caches cleared (custom wallpapers preserved)"));
    // The master-video folder is there afterwards, empty.
    EXPECT_TRUE(QFileInfo(caches(QStringLiteral("Wallpapers"))).isDir());
}

TEST_F(CacheServiceTest, ClearingMemoryDropsImagesAndFeedPagesButNoFiles)
{
    const QUrl url(QStringLiteral("https://assets.example/wallpaper/1/poster.webp"));
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    images_.store(image, url);
    images_.waitForDiskWrites();
    QFile::remove(images_.filePath(url)); // so a later hit could only come from memory

    QStringList dropped;
    QObject popular;
    auto explore = std::make_unique<QObject>();
    QObject explorePage;
    service_.registerFeedCache(&popular, [&] { dropped << QStringLiteral("popular"); });
    service_.registerFeedCache(explore.get(), [&] { dropped << QStringLiteral("explore"); });
    service_.registerFeedCache(&explorePage, [&] { dropped << QStringLiteral("explorePage"); });
    explore.reset();

    LogCapture log;
    service_.clearRAM();
    EXPECT_TRUE(images_.image(url).isNull());
    EXPECT_EQ(dropped, (QStringList{QStringLiteral("popular"), QStringLiteral("explorePage")}));
    EXPECT_EQ(log.lines(), (QStringList{
        QStringLiteral("🗑️ [WallpaperImageCache] Cleared memory image cache"),
        QStringLiteral("✅ [CacheService] Cleared in-memory caches (RAM freed)"),
    }));
}

TEST_F(CacheServiceTest, LegacyFoldersInApplicationSupportAreRemovedWhole)
{
    {
        LogCapture log;
        service_.removeLegacyFolders();
        EXPECT_TRUE(log.lines().isEmpty());
    }
    writeFile(support(QStringLiteral("images/a/b.png")), 10);
    writeFile(support(QStringLiteral("videos/c.mp4")), 10);
    LogCapture log;
    service_.removeLegacyFolders();
    EXPECT_FALSE(QFileInfo::exists(support(QStringLiteral("images"))));
    EXPECT_FALSE(QFileInfo::exists(support(QStringLiteral("videos"))));
    EXPECT_TRUE(QFileInfo(Paths::appSupport()).isDir());
    EXPECT_EQ(log.lines(), (QStringList{
        QStringLiteral("🗑️ [CacheService] Removed legacy folder (should only be in Caches): ") + support(QStringLiteral("images")),
        QStringLiteral("🗑️ [CacheService] Removed legacy folder (should only be in Caches): ") + support(QStringLiteral("videos")),
    }));
}

} // namespace
