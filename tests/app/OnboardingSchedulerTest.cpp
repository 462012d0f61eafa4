#include "app/OnboardingScheduler.h"

#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"
#include "state/OnboardingSheetState.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

namespace {

// A first launch is welcomed; a launch whose settings are there but could not be opened (damaged,
// or a folder in the database's place) is not: the user is told of their settings instead.
TEST(OnboardingSchedulerTest, UnreadSettingsAreNoFirstLaunch)
{
    struct Case {
        const char* name;
        std::function<void(const QString& database)> make;
        bool welcomed;
    };
    const Case cases[] = {
        {"no settings", [](const QString&) {}, true},
        {"a folder in the database's place", [](const QString& database) { ASSERT_TRUE(QDir().mkpath(database)); }, false},
        {"a damaged database",
            [](const QString& database) {
                ASSERT_TRUE(QDir().mkpath(QFileInfo(database).path()));
                QFile file(database);
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                file.write(QByteArray(8192, 'x'));
            },
            false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        c.make(Paths::configuration() + QStringLiteral("/Quorvelle/standard.sqlite3"));
        UserDefaults defaults;
        OnboardingSheetState sheet;
        OnboardingScheduler scheduler(defaults, sheet);
        scheduler.presentIfNeeded();
        EXPECT_EQ(sheet.isPresented(), c.welcomed);
    }
}

} // namespace
