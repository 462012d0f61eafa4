#include "engine/DesktopPictureScript.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

// Reads a string literal of the script language starting at `from` (just after its opening
// quote), undoing \" and \\; returns the text and where the literal ended.
std::pair<QString, qsizetype> readScriptLiteral(const QString& script, qsizetype from)
{
    QString text;
    for (qsizetype i = from; i < script.size(); ++i) {
        const QChar c = script[i];
        if (c == u'\\' && i + 1 < script.size()) {
            text += script[++i];
        } else if (c == u'"') {
            return {text, i};
        } else {
            text += c;
        }
    }
    return {text, -1};
}

TEST(DesktopPictureScriptTest, ThePlainScriptHasItsThirteenLines)
{
    const QStringList lines = DesktopPictureScript::build(QStringLiteral("/tmp/StaticWallpaper/7_static.jpg")).split(u'\n');
    EXPECT_EQ(lines, (QStringList{
        QStringLiteral("set imagePath to POSIX file \"/tmp/StaticWallpaper/7_static.jpg\""),
        QString(),
        QStringLiteral("tell application \"System Events\""),
        QStringLiteral("    set desktopCount to count of desktops"),
        QStringLiteral("    repeat with i from 1 to desktopCount"),
        QStringLiteral("        set picture of desktop i to imagePath"),
        QStringLiteral("    end repeat"),
        QStringLiteral("end tell"),
        QString(),
        QStringLiteral("-- Lock Screen (macOS Ventura+)"),
        QStringLiteral("try"),
        QStringLiteral("    do shell script \"defaults write com.apple.loginwindow DesktopPicture '/tmp/StaticWallpaper/7_static.jpg'\""),
        QStringLiteral("end try"),
    }));
}

// Whatever a file name holds, the script's literal in line 1 gives the path back, and the shell
// command in line 12 (once the script has read its literal) hands the shell exactly the path.
TEST(DesktopPictureScriptTest, NoFileNameCanLeaveItsString)
{
    for (const QString& path : {QStringLiteral("/tmp/a\"b.jpg"), QStringLiteral("/tmp/it's.jpg"), QStringLiteral("/tmp/back\\slash.jpg"),
             QStringLiteral("/tmp/x\"; do shell script \"touch /tmp/pwned"), QStringLiteral("/tmp/'$(touch pwned)'\\\"`id`.jpg")}) {
        SCOPED_TRACE(qPrintable(path));
        const QStringList lines = DesktopPictureScript::build(path).split(u'\n');
        ASSERT_EQ(lines.size(), 13);

        const QString first = QStringLiteral("set imagePath to POSIX file \"");
        ASSERT_TRUE(lines[0].startsWith(first));
        const auto [literal, end] = readScriptLiteral(lines[0], first.size());
        EXPECT_EQ(literal, path);
        EXPECT_EQ(end, lines[0].size() - 1);

        const QString command = QStringLiteral("    do shell script \"");
        ASSERT_TRUE(lines[11].startsWith(command));
        const auto [shellCommand, commandEnd] = readScriptLiteral(lines[11], command.size());
        EXPECT_EQ(commandEnd, lines[11].size() - 1);
        const QString prefix = QStringLiteral("defaults write com.apple.loginwindow DesktopPicture ");
        ASSERT_TRUE(shellCommand.startsWith(prefix));

        QProcess shell;
        shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("printf %s ") + shellCommand.mid(prefix.size())});
        ASSERT_TRUE(shell.waitForFinished());
        EXPECT_EQ(QString::fromUtf8(shell.readAllStandardOutput()), path);
    }
}

} // namespace
