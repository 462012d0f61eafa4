#include "engine/CheckedVideoFile.h"
#include "engine/VideoCacheService.h"
#include "engine/WallpaperDownloadService.h"
#include "support/SampleCatalogueFixture.h"
#include "support/SyncedFiles.h"
#include "support/TaskWait.h"
#include "support/TempFolder.h"
#include "support/TestHttpsServer.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr qint64 kKey = 1718000000137;

// Each of the engine's downloads against the sample catalogue: the file the user keeps reaches
// the disk before it is taken, with the record of its size; a cache's copy and its record do not
// wait for the disk.
TEST(DownloadDurabilityTest, OnlyTheMasterIsSyncedBeforeItIsTaken)
{
    struct Case {
        const char* caller;
        std::function<QUrl(const QString& base)> download;
        bool synced;
    };
    const auto asset = [](const QString& base, const char* name) {
        return QUrl(base + QStringLiteral("/wallpaper/%1/").arg(kKey) + QLatin1String(name));
    };
    const Case cases[] = {
        {"master", [&](const QString& base) {
             WallpaperDownloadService service;
             return waitForTask(service.downloadWallpaper(asset(base, "master.mp4"), kKey, {}));
         }, true},
        {"preview", [&](const QString& base) {
             VideoCacheService service;
             return waitForTask(service.cachePreviewVideo(asset(base, "preview.mp4"), kKey));
         }, false},
        {"HD preview", [&](const QString& base) {
             VideoCacheService service;
             return waitForTask(service.cachePreviewVideo(asset(base, "previewhd.mp4"), kKey));
         }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caller);
        TempFolder temp;
        SampleCatalogueFixture catalogue;
        const SyncedFiles synced;
        const QString file = c.download(catalogue.server().baseUrl()).toLocalFile();
        ASSERT_GT(QFileInfo(file).size(), 0);
        EXPECT_EQ(synced.contains(file), c.synced);
        EXPECT_EQ(synced.contains(CheckedVideoFile::recordPath(file)), c.synced) << "the record of its size";
    }
}

} // namespace
