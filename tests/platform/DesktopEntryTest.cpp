#include "platform/DesktopEntry.h"

#include <gtest/gtest.h>

namespace {

struct ProgramCase {
    const char* exec;
    std::optional<QString> program;
};

TEST(DesktopEntryTest, TheProgramIsTheExecLinesFirstArgumentUnquoted)
{
    const ProgramCase cases[] = {
        {"Exec=quorvelle %u", QStringLiteral("quorvelle")},
        {"Exec=/usr/bin/quorvelle", QStringLiteral("/usr/bin/quorvelle")},
        {"Exec=\"/opt/Quor velle/bin/quorvelle\" --login-launch", QStringLiteral("/opt/Quor velle/bin/quorvelle")},
        {"Exec=\"/a \\\"b\\\"/\\$c%%\" %u", QStringLiteral("/a \"b\"/$c%")},
        {"Exec=\"/opt/cut short", std::nullopt},
        {"Exec=\"\" %u", std::nullopt},
        {"Exec=", std::nullopt},
        {"Name=Quorvelle", std::nullopt},
    };
    for (const ProgramCase& c : cases) {
        const DesktopEntry entry(QStringLiteral("[Desktop Entry]\n") + QString::fromUtf8(c.exec) + u'\n');
        EXPECT_EQ(entry.program(), c.program) << c.exec;
    }
}

TEST(DesktopEntryTest, AQuotedProgramReadsBackAsItWasWritten)
{
    const QString program = QStringLiteral("/home/a b/$HOME/`x`/\\/100%/quorvelle");
    const DesktopEntry entry(QStringLiteral("[Desktop Entry]\nExec=") + DesktopEntry::quotedArgument(program) + QStringLiteral(" %u\n"));
    EXPECT_EQ(entry.program(), program);
}

} // namespace
