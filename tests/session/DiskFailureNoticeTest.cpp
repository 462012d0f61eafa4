#include "session/DiskFailureNotice.h"

#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"
#include "state/NotificationManager.h"
#include "support/FakeDesktopNotifications.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

namespace {

// What the user reads names what stands in the way.
TEST(DiskFailureNoticeTest, TheNoticeNamesTheCause)
{
    struct Case {
        const char* name;
        // False when this machine cannot set the case up.
        std::function<bool(const QString& folder)> block;
        const char* cause;
    };
    const Case cases[] = {
        {"a file where the folder goes",
            [](const QString& folder) {
                QFile blocker(folder);
                return blocker.open(QIODevice::WriteOnly);
            },
            "is a file, not a folder"},
        {"a folder of another user",
            [](const QString& folder) {
                return QDir().mkdir(folder) && ::chown(QFile::encodeName(folder).constData(), ::geteuid() + 1, -1) == 0;
            },
            "belongs to another user"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        QDir().mkpath(Paths::configuration());
        if (!c.block(Paths::configuration() + QStringLiteral("/Quorvelle")))
            continue; // only the superuser gives a folder away
        NotificationManager toast;
        FakeDesktopNotifications desktop;
        DiskFailureNotice notice(toast, desktop, [] { return true; });
        UserDefaults defaults;
        notice.watch(defaults);
        defaults.setBool(QStringLiteral("a"), true);
        EXPECT_EQ(toast.title(), QStringLiteral("Settings Not Saved"));
        EXPECT_TRUE(toast.message().contains(QString::fromUtf8(c.cause))) << toast.message().toStdString();
    }
}

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
