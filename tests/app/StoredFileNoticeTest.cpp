#include "app/StoredFileNotice.h"

#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"
#include "session/DiskFailureNotice.h"
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

} // namespace
