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
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Settings that could not be opened at launch are told in words: a damaged database with where
// its copy is kept, one that cannot be opened now with why. A readable one says nothing.
TEST(StoredFileNoticeTest, UnopenedSettingsAreToldWithWhereOrWhy)
{
    struct Case {
        const char* name;
        // Puts it in the database's place, or the folder's.
        std::function<void(const QString& file)> make;
        bool told;
        bool damaged;
        QString reason;
    };
    const auto writeFile = [](const QString& path, const QByteArray& content) {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
    };
    const Case cases[] = {
        {"a readable database", [](const QString&) { UserDefaults().setBool(QStringLiteral("a"), true); },
            false, false, {}},
        {"a damaged database", [&](const QString& file) { writeFile(file, QByteArray(8192, 'x')); }, true, true, {}},
        {"a folder in its place", [](const QString& file) { QDir().mkpath(file); }, true, false, {}},
        {"a file where its folder goes", [&](const QString& file) { writeFile(QFileInfo(file).path(), "x"); }, true, false,
            QStringLiteral("is a file, not a folder")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        const QString file = Paths::configuration() + QStringLiteral("/Quorvelle/standard.sqlite3");
        QDir().mkpath(Paths::configuration() + (c.reason.isEmpty() ? QStringLiteral("/Quorvelle") : QString()));
        c.make(file);
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
        const UserDefaults::ReadTrouble& trouble = *defaults.readTrouble();
        EXPECT_EQ(toast.title(), StoredFileNotice::title());
        if (c.damaged) {
            EXPECT_NE(trouble.keptAt, file);
            EXPECT_TRUE(QFile::exists(trouble.keptAt)) << trouble.keptAt.toStdString();
            EXPECT_EQ(toast.message(), StoredFileNotice::damagedMessage(QStringLiteral("settings"), trouble.keptAt));
        } else {
            EXPECT_TRUE(trouble.reason.contains(c.reason)) << trouble.reason.toStdString();
            EXPECT_EQ(toast.message(), StoredFileNotice::unopenedMessage(QStringLiteral("settings"), trouble.reason));
        }
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
