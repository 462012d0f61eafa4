#include "session/DiskFailureNotice.h"

#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"
#include "state/NotificationManager.h"
#include "support/FakeDesktopNotifications.h"
#include "support/FullFileSystem.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

// Settings that the disk refuses (it is full), told through the real store with the reason, once:
// a second change refused for the same reason is not told again.
TEST(DiskFailureNoticeTest, TellsEachCauseOnceInTheWindowOrOnTheDesktop)
{
    FullFileSystem disk;
    const Paths::Override paths(disk.path());
    UserDefaults defaults;
    defaults.setBool(QStringLiteral("opened"), true);

    NotificationManager toast;
    FakeDesktopNotifications desktop;
    bool windowShown = true;
    DiskFailureNotice notice(toast, desktop, [&] { return windowShown; });
    notice.watch(defaults);

    disk.fill();
    defaults.setString(QStringLiteral("a"), QString(256 * 1024, u'a'));
    defaults.setString(QStringLiteral("b"), QString(256 * 1024, u'b'));
    EXPECT_TRUE(defaults.hasUnsavedChanges());
    EXPECT_EQ(toast.title(), QStringLiteral("Settings Not Saved"));
    EXPECT_TRUE(toast.message().contains(QStringLiteral("full")) || toast.message().contains(QStringLiteral("too large")))
        << toast.message().toStdString();
    EXPECT_TRUE(desktop.shown.isEmpty());
    disk.free();
    defaults.flush();
    EXPECT_FALSE(defaults.hasUnsavedChanges());

    // Only the tray runs: the next cause goes to the desktop, a cause told before to nobody.
    windowShown = false;
    notice.tell(QStringLiteral("Settings Not Saved"), toast.message());
    notice.tell(QStringLiteral("Wallpaper Not Saved"), QStringLiteral("The disk is full"));
    ASSERT_EQ(desktop.shown.size(), 1);
    EXPECT_EQ(desktop.shown.first(), std::make_pair(QStringLiteral("Wallpaper Not Saved"), QStringLiteral("The disk is full")));
}

} // namespace
