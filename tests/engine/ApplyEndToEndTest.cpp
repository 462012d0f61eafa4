#include "engine/ApplyHarness.h"

#include "platform/DesktopVideoWindow.h"
#include "platform/MediaTools.h"
#include "platform/VideoSurface.h"

#include "support/ImageCompare.h"

#include <QFileInfo>
#include <QImage>

namespace {

using ApplyEndToEndTest = ApplyHarness;

// From the sample catalogue to the desktop, the still picture and the lock-screen stand-in,
// with every piece real except the displays and the desktop that records its pictures.
TEST_F(ApplyEndToEndTest, ACatalogueWallpaperReachesTheDesktopTheStillPictureAndTheLockScreen)
{
    // Desktop: downloaded, then played on both displays.
    waitForTask(service_.applyWallpaper({.key = kCatalogueKey, .videoURL = masterUrl(kCatalogueKey), .wallpaper = record(kCatalogueKey)}));

    const std::optional<QUrl> cached = downloads_.cachedFileUrl(kCatalogueKey);
    ASSERT_TRUE(cached);
    const QByteArray served = waitForTask(Http::shared().send(QNetworkRequest(masterUrl(kCatalogueKey)))).body;
    QFile cachedFile(cached->toLocalFile());
    ASSERT_TRUE(cachedFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(cachedFile.readAll(), served);

    ASSERT_EQ(engine_.entries().size(), 2u);
    for (const auto& [id, entry] : engine_.entries()) {
        EXPECT_EQ(entry.videoURL, *cached);
        EXPECT_TRUE(entry.window->isVisible());
        VideoSurface* surface = entry.window->surface();
        EXPECT_TRUE(waitUntil([surface] { return surface->isReady(); })) << "display " << id << " shows no frame";
    }
    EXPECT_EQ(persistence_.loadSavedWallpaper()->key, kCatalogueKey);

    // Still picture: the frame at 2 s, on both displays and the login window.
    ASSERT_EQ(desktop_.calls().size(), 2);
    const QString picture = desktop_.calls().first().imagePath;
    EXPECT_EQ(desktop_.calls().last().imagePath, picture);
    EXPECT_EQ(QFileInfo(picture).absolutePath(), QDir(StaticWallpaperService::folderPath()).absolutePath());
    EXPECT_EQ(loginWindow_.string(StaticWallpaperService::kLoginWindowPictureKey), picture);
    const QImage still(picture);
    ASSERT_FALSE(still.isNull());
    EXPECT_LT(meanChannelDifference(still, MediaTools::shared().frameAt(cached->toLocalFile(), 2.0)), 6.0);
    EXPECT_FALSE(QFileInfo::exists(folders_.installedMoviePath()));

    // Lock screen: a second wallpaper with the feature on.
    setLockScreenFeature(true);
    waitForTask(service_.applyWallpaper({.key = kOtherCatalogueKey, .videoURL = masterUrl(kOtherCatalogueKey), .wallpaper = record(kOtherCatalogueKey, QStringLiteral("Harbour Lights"))}));

    EXPECT_EQ(shownKey(), kOtherCatalogueKey);
    EXPECT_EQ(desktop_.calls().size(), 2); // no still picture with the feature on
    const MediaInfo movie = MediaTools::shared().probe(folders_.installedMoviePath());
    EXPECT_TRUE(movie.hasVideoTrack);
    EXPECT_EQ(movie.naturalSize, MediaTools::shared().probe(downloads_.cachedFileUrl(kOtherCatalogueKey)->toLocalFile()).naturalSize);
    const QImage thumbnail(folders_.installedThumbnailPath());
    const QByteArray servedThumbnail = waitForTask(Http::shared().send(QNetworkRequest(*record(kOtherCatalogueKey).imageUrl))).body;
    ASSERT_FALSE(thumbnail.isNull());
    EXPECT_EQ(thumbnail.size(), QImage::fromData(servedThumbnail).size());
    EXPECT_FALSE(QFileInfo::exists(VideoConversionService::convertedMoviePath(kOtherCatalogueKey)));
    EXPECT_EQ(toast_.message(), QStringLiteral("Lock Screen set"));
    EXPECT_EQ(toast_.progress(), 1.0);

    // Both applies were counted and recorded.
    EXPECT_TRUE(waitUntil([&] { return downloadCount(kCatalogueKey) == 1 && downloadCount(kOtherCatalogueKey) == 1; }));
    EXPECT_EQ(recents_.recentsOrder(), (QList<qint64>{kOtherCatalogueKey, kCatalogueKey}));
    EXPECT_TRUE(pipelineLines().isEmpty());
}

} // namespace
