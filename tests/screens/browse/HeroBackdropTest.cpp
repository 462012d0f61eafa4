#include "foundation/Log.h"
#include "screens/browse/HeroBackdrop.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

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

} // namespace
