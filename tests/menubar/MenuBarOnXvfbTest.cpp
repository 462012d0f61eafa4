#include "menubar/MenuBarFixture.h"
#include "support/Eventually.h"
#include "support/ReviewPicture.h"
#include "support/XvfbServer.h"

#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const char* const kChildVariable = "QUORVELLE_MENUBAR_XVFB_CHILD";
// Where the child leaves its picture of the open menu: a folder of the parent run's own, since
// another run of the same case may be going at the same time.
const char* const kPictureVariable = "QUORVELLE_MENUBAR_XVFB_PICTURE";

// The menu on a real X server: this test program runs its child test there, as a process of
// its own, since a process keeps the windowing platform it started with.
TEST(MenuBarOnXvfb, TheMenuOpensAndAppliesOnARealXServer)
{
    if (qEnvironmentVariableIsSet(kChildVariable))
        GTEST_SKIP() << "inside the child run";
    XvfbServer display{{QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x800x24")}};
    if (!display.isRunning())
        GTEST_SKIP() << "Xvfb is not available";
    const QTemporaryDir pictures;
    const QString picturePath = pictures.filePath(QStringLiteral("menu.png"));

    QProcess child;
    QProcessEnvironment environment = display.environment();
    environment.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
    environment.insert(QString::fromLatin1(kPictureVariable), picturePath);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    child.setProcessChannelMode(QProcess::MergedChannels);
    startTestChild(child, environment, QStringLiteral("MenuBarOnXvfbChild.*"));
    ASSERT_TRUE(child.waitForFinished(100'000));
    const QString output = QString::fromUtf8(child.readAll());

    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
    const QImage picture(picturePath);
    ASSERT_FALSE(picture.isNull());
    keepReviewPicture(picture, QStringLiteral("menubar-screenshots"), QStringLiteral("menu-xvfb"));
}

class MenuBarOnXvfbChild : public MenuBarFixture {
protected:
    void SetUp() override
    {
        if (!qEnvironmentVariableIsSet(kChildVariable))
            GTEST_SKIP() << "runs inside MenuBarOnXvfb only";
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }
};

TEST_F(MenuBarOnXvfbChild, OpensShowsTheStateAndAppliesARecent)
{
    EXPECT_TRUE(log_.contains(QStringLiteral("No system tray available")));
    const WallpaperApplyRequest harbour = cachedRequest(kOtherCatalogueKey);
    recents_.addWallpaper(record(kOtherCatalogueKey, QStringLiteral("Harbour at Dusk")));
    recents_.addWallpaper(record(kCatalogueKey));
    cachedRequest(kCatalogueKey);
    rotate(ownPlaylist(QStringLiteral("Evenings"), {71, 72, 73}, 1800));
    ASSERT_TRUE(waitUntil([this] { return !menu().thumbnailView()->thumbnailImage().isNull(); }));

    load_.setMemory(quint64(182) << 20, quint64(16) << 30);
    cacheMegabytes_ = 245.6;
    QSignalSpy sampled(&monitor_, &SystemMonitorService::passFinished);
    QMenu* popup = menu().popupMenu();
    popup->popup(QPoint(200, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup, kExposeMs));
    ASSERT_TRUE(waitUntil([&] { return !sampled.isEmpty(); }));
    menuDelays_.runScheduled();
    settle();
    EXPECT_EQ(menu().cacheUsageItem()->text(), QStringLiteral("Cache: 245.6 MB"));
    EXPECT_EQ(texts(menu().playlistsSubmenu()), QStringList{"Evenings (3) - 30 mins"});
    EXPECT_TRUE(playlistItem(QStringLiteral("Evenings (3) - 30 mins"))->isChecked());

    // Pausing from the row of the open menu pauses the video and the rotation.
    PlaylistControlsRowView& controls = row();
    QTest::mouseClick(&controls, Qt::LeftButton, {}, controls.iconRect(PlaylistControlsRowView::pausePlay).center().toPoint());
    EXPECT_TRUE(engine_.isPaused());
    EXPECT_TRUE(rotation_.isPaused());
    settle();

    EXPECT_TRUE(popup->grab().toImage().save(qEnvironmentVariable(kPictureVariable)));

    recentItem(QStringLiteral("Harbour at Dusk"))->trigger();
    popup->close();
    waitForRuns();
    EXPECT_EQ(shownKey(), harbour.key);
    EXPECT_FALSE(rotation_.activePlaylistId());
    EXPECT_TRUE(log_.contains(QStringLiteral("✅ Wallpaper ") + QString::number(harbour.key) + QStringLiteral(" applied from menu")));
}

} // namespace
