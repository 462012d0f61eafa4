#include "engine/VideoCacheService.h"
#include "foundation/Config.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "screens/browse/HeroBackdrop.h"
#include "support/Eventually.h"
#include "support/FileBytes.h"
#include "support/TestHttpsServer.h"
#include "support/TestPaths.h"

#include <QTest>

#include <gtest/gtest.h>
#include <httplib.h>

namespace {

constexpr int kWaitMs = 15'000;

TEST(HeroBackdropTest, AFailedVideoDownloadIsDroppedWithoutAnErrorLine)
{
    LogCapture log;
    HeroBackdrop hero;
    hero.resize(640, 360);
    // Nothing listens on port 1: the download into the preview cache fails at once.
    const QString address = QStringLiteral("https://127.0.0.1:1/hero/backdrop.mp4");
    hero.setVideoAddress(address);
    hero.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.contains(QStringLiteral("Failed to cache preview video")); }, 10'000));
    QCoreApplication::processEvents();
    EXPECT_FALSE(log.contains(QStringLiteral("Unhandled error"))) << log.lines().join(u'\n').toStdString();
    EXPECT_EQ(hero.playedUrl(), QUrl(address)) << "the player keeps the remote address";
}

// Clear Cache empties the preview cache under a hero that plays the stored file: back on screen
// it must not open the missing file (and fall back to its gradient), and the file comes back.
TEST(HeroBackdropTest, AHeroWhoseStoredVideoWasClearedPlaysAgainAndStoresItAgain)
{
    Config config;
    config.caCertificateFile = TestHttpsServer::certificateFile();
    Shared<Config>::Override configGuard(config);
    TestHttpsServer server;
    const QByteArray video = readFile(TestPaths::dataFile(QStringLiteral("loop-320x180.mp4")));
    server.routes().Get("/hero/cleared.mp4", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(video.constData(), size_t(video.size()), "video/mp4");
    });
    server.start();
    const QUrl address = server.url(QStringLiteral("/hero/cleared.mp4"));
    VideoCacheService& cache = VideoCacheService::shared();
    const auto stored = [&] { return cache.cachedPreviewVideoUrl(address, std::nullopt).has_value(); };
    {
        HeroBackdrop first;
        first.resize(640, 360);
        first.setVideoAddress(address.toString());
        first.show();
        ASSERT_EVENTUALLY(stored(), kWaitMs);
    }
    // A later page plays the stored file.
    HeroBackdrop hero;
    hero.resize(640, 360);
    hero.setVideoAddress(address.toString());
    ASSERT_TRUE(hero.playedUrl().isLocalFile());
    hero.show();
    ASSERT_EVENTUALLY(hero.isVideoReady(), kWaitMs);

    cache.clearCache();
    hero.hide();
    QCoreApplication::sendPostedEvents();
    ASSERT_FALSE(hero.isVideoReady()) << "off the screen, the player went";
    hero.show();
    ASSERT_EVENTUALLY(hero.isVideoReady(), kWaitMs);
    ASSERT_EVENTUALLY(stored(), kWaitMs) << "the file is fetched again";
}

} // namespace
