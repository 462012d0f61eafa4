#include "session/DiskFailureNotice.h"

#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"
#include "state/NotificationManager.h"
#include "support/FakeDesktopNotifications.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

// A settings folder that cannot be made (a file in its place), told through the real store.
TEST(DiskFailureNoticeTest, TellsEachCauseOnceInTheWindowOrOnTheDesktop)
{
    TempFolder temp;
    QDir().mkpath(Paths::configuration());
    QFile blocker(Paths::configuration() + QStringLiteral("/Quorvelle"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    NotificationManager toast;
    FakeDesktopNotifications desktop;
    bool windowShown = true;
    DiskFailureNotice notice(toast, desktop, [&] { return windowShown; });
    UserDefaults defaults;
    notice.watch(defaults);

    defaults.setBool(QStringLiteral("a"), true);
    defaults.setBool(QStringLiteral("b"), true);
    EXPECT_EQ(toast.title(), QStringLiteral("Settings Not Saved"));
    EXPECT_TRUE(toast.message().contains(QStringLiteral("is a file, not a folder"))) << toast.message().toStdString();
    EXPECT_TRUE(desktop.shown.isEmpty());

    // Only the tray runs: the next cause goes to the desktop, a cause told before to nobody.
    windowShown = false;
    notice.tell(QStringLiteral("Settings Not Saved"), toast.message());
    notice.tell(QStringLiteral("Wallpaper Not Saved"), QStringLiteral("The disk is full"));
    ASSERT_EQ(desktop.shown.size(), 1);
    EXPECT_EQ(desktop.shown.first(), std::make_pair(QStringLiteral("Wallpaper Not Saved"), QStringLiteral("The disk is full")));
}

} // namespace
