#include "app/LaunchRefusal.h"

#include "foundation/Log.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

// Each refusal says what went wrong and what the user can do about it, with the system's own
// words and the folder to mend, whatever characters they hold.
TEST(LaunchRefusalTest, EachReasonSaysWhatToDo)
{
    const QString folder = QStringLiteral("/home/<b>me</b>/.config/Quorvelle");
    const QString system = folder + QStringLiteral("/quorvelle.lock cannot be opened (Permission denied)");
    struct Case {
        const char* name;
        LaunchRefusal refusal;
        QStringList reasonSays;
        QStringList remedySays;
    };
    const Case cases[] = {
        {"unanswered", LaunchRefusal::unanswered(), {"already running", "did not answer"}, {"Wait a moment", "end the running Quorvelle"}},
        {"lock unavailable", LaunchRefusal::lockUnavailable(system, folder), {"cannot tell whether it is already running", "did not start"},
            {folder, "chmod u+rwx \"" + folder + "\"", "The system said: " + system + "."}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        for (const QString& part : test.reasonSays)
            EXPECT_TRUE(test.refusal.reason().contains(part)) << test.refusal.reason().toStdString();
        for (const QString& part : test.remedySays)
            EXPECT_TRUE(test.refusal.remedy().contains(part)) << test.refusal.remedy().toStdString();
    }
}

// Without a display nobody would see a window: telling returns at once, the log alone says why.
TEST(LaunchRefusalTest, WithoutADisplayNothingIsShown)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    LogCapture log;
    LaunchRefusal::unanswered().tell();
    EXPECT_FALSE(log.contains(QStringLiteral("Told the user")));
}

} // namespace
