#include "app/StoredFileNotice.h"

#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"
#include "session/DiskFailureNotice.h"
#include "signalry/FileNotices.h"
#include "state/NotificationManager.h"
#include "support/FakeDesktopNotifications.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

// Settings that could not be read at launch are told in words, with where the file is now: a
// damaged one where it was moved, anything else where it stays. A readable file says nothing.
TEST(StoredFileNoticeTest, UnreadSettingsAreToldWithWhereTheyWereKept)
{
    struct Case {
        const char* name;
        QByteArray content; // none: a folder in the file's place
        bool told;
        bool keptInPlace;
    };
    const Case cases[] = {
        {"a readable file", R"({"a":{"type":"bool","value":true}})", false, true},
        {"a damaged file", "{\"a\":", true, false},
        {"a folder in its place", {}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        const QString file = Paths::configuration() + QStringLiteral("/Quorvelle/standard.json");
        QDir().mkpath(c.content.isNull() ? file : Paths::configuration() + QStringLiteral("/Quorvelle"));
        if (!c.content.isNull()) {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(c.content);
        }
        const UserDefaults defaults;
        NotificationManager toast;
        FakeDesktopNotifications desktop;
        DiskFailureNotice disk(toast, desktop, [] { return true; });
        StoredFileNotice notice(disk);
        notice.watch(defaults, QStringLiteral("settings"));
        if (!c.told) {
            EXPECT_TRUE(toast.title().isEmpty());
            continue;
        }
        ASSERT_TRUE(defaults.readTrouble());
        const QString keptAt = defaults.readTrouble()->keptAt;
        EXPECT_EQ(keptAt == file, c.keptInPlace) << keptAt.toStdString();
        EXPECT_EQ(toast.title(), StoredFileNotice::title());
        EXPECT_EQ(toast.message(),
            QStringLiteral("Your settings could not be read. They were kept at %1 and Quorvelle started without them.").arg(keptAt));
    }
}

// The analytics files are read before the window exists: a file they told of then is told once
// the notice watches, one told later as it comes, and a file told again is not shown twice.
TEST(StoredFileNoticeTest, AnalyticsFilesAreToldWhetherFoundBeforeOrAfter)
{
    NotificationManager toast;
    FakeDesktopNotifications desktop;
    DiskFailureNotice disk(toast, desktop, [] { return true; });
    StoredFileNotice notice(disk);
    signalry::FileNotices& notices = signalry::FileNotices::shared();
    const QString before = QStringLiteral("/tmp/notice-test/before.json");
    const QString after = QStringLiteral("/tmp/notice-test/after.json");

    notices.tell(before, before + QStringLiteral(".damaged"), true, QStringLiteral("damaged"));
    notice.watchAnalytics();
    EXPECT_EQ(toast.message(), StoredFileNotice::message(QStringLiteral("usage statistics"), before + QStringLiteral(".damaged")));

    notices.tell(after, after, false, QStringLiteral("Too many open files"));
    EXPECT_EQ(toast.message(), StoredFileNotice::message(QStringLiteral("usage statistics"), after));
    toast.setPresented(false);
    notice.report(QStringLiteral("usage statistics"), after);
    EXPECT_FALSE(toast.isPresented());
}

} // namespace
