#include "app/CommandLine.h"

#include "support/TestPaths.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

using Action = CommandLine::Action;

TEST(CommandLineTest, EveryArgumentIsALinkAKnownOptionQtsOwnOrRefused)
{
    struct Case {
        QStringList arguments;
        Action action;
        const char* error;
    };
    const Case cases[] = {
        {{}, Action::run, ""},
        {{"quorvelle://wallpaper/1718000000137", "quorvelle://gravelnook/42"}, Action::run, ""},
        {{"--login-launch"}, Action::run, ""},
        {{"--help"}, Action::printUsage, ""},
        {{"quorvelle://wallpaper/1", "--help"}, Action::printUsage, ""},
        {{"--version"}, Action::printVersion, ""},
        {{"--bogus"}, Action::refuse, "unknown option '--bogus'"},
        {{"-x"}, Action::refuse, "unknown option '-x'"},
        {{"-"}, Action::refuse, "unknown option '-'"},
        {{"--login-launch", "--hlep"}, Action::refuse, "unknown option '--hlep'"},
        {{"--help=me"}, Action::refuse, "unknown option '--help=me'"},
        {{"--bogus", "--help"}, Action::refuse, "unknown option '--bogus'"},
        // Qt's own, with their values, which are not links.
        {{"-platform", "offscreen"}, Action::run, ""},
        {{"--platform", "xcb", "-style=fusion", "-reverse"}, Action::run, ""},
        {{"-session", "10d4f6a", "quorvelle://wallpaper/1"}, Action::run, ""},
        {{"-display", ":3", "-qmljsdebugger=port:1234"}, Action::run, ""},
        {{"-platform", "xcb", "--nope"}, Action::refuse, "unknown option '--nope'"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.arguments.join(u' ').toStdString());
        const CommandLine::Reading reading = CommandLine::read(QStringList{QStringLiteral("quorvelle")} + test.arguments);
        EXPECT_EQ(reading.action, test.action);
        EXPECT_EQ(reading.error, QString::fromUtf8(test.error));
    }
}

// The usage is the manual page's synopsis and options: every option the page lists, and only
// plain text that fits a terminal.
TEST(CommandLineTest, TheUsageIsTheManualPagesSynopsisAndOptions)
{
    QFile page(TestPaths::sourceFile(QStringLiteral("packaging/quorvelle.1")));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString manual = QString::fromUtf8(page.readAll());
    const QString usage = CommandLine::usage();
    static const QRegularExpression option(QStringLiteral(R"(^\.B (\\-\\-[a-z\\-]+)$)"), QRegularExpression::MultilineOption);
    QStringList listed;
    for (const QRegularExpressionMatch& match : option.globalMatch(manual))
        listed.append(match.captured(1).replace(QStringLiteral("\\-"), QStringLiteral("-")));
    listed.removeDuplicates();
    EXPECT_EQ(listed, (QStringList{"--login-launch", "--version", "--help"}));
    for (const QString& name : listed) {
        EXPECT_TRUE(usage.contains(QStringLiteral("  quorvelle ") + name + u'\n')) << name.toStdString();
        EXPECT_TRUE(usage.contains(QStringLiteral("\n  ") + name + u'\n')) << name.toStdString();
    }
    EXPECT_TRUE(usage.startsWith(QStringLiteral("Usage:\n  quorvelle [link...]\n"))) << usage.toStdString();
    EXPECT_TRUE(usage.contains(QStringLiteral("Prints the version and ends.")));
    for (const QString& line : usage.split(u'\n')) {
        EXPECT_LE(line.size(), 78) << line.toStdString();
        EXPECT_FALSE(line.contains(u'\\') || line.startsWith(u'.')) << line.toStdString();
    }
}

} // namespace
