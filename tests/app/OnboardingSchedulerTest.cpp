#include "app/OnboardingScheduler.h"

#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"
#include "state/OnboardingSheetState.h"
#include "support/TempFolder.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

// A first launch is welcomed; a launch whose settings file is there but could not be read (a
// folder in its place) is not: the user is told of their settings instead.
TEST(OnboardingSchedulerTest, UnreadSettingsAreNoFirstLaunch)
{
    for (const bool unread : {false, true}) {
        SCOPED_TRACE(unread ? "unread settings" : "no settings");
        TempFolder temp;
        if (unread) {
            ASSERT_TRUE(QDir().mkpath(Paths::configuration() + QStringLiteral("/Quorvelle/standard.json")));
        }
        UserDefaults defaults;
        OnboardingSheetState sheet;
        OnboardingScheduler scheduler(defaults, sheet);
        scheduler.presentIfNeeded();
        EXPECT_EQ(sheet.isPresented(), !unread);
    }
}

} // namespace
