#include "engine/DesktopPictureScript.h"

#include <QStringList>

QString DesktopPictureScript::scriptEscaped(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return escaped;
}

QString DesktopPictureScript::shellEscaped(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return escaped;
}

QString DesktopPictureScript::build(const QString& imagePath)
{
    // The shell command sits inside a string literal of the script, so its single-quoted path is
    // escaped for the script too; otherwise a " or \ in a file name would end that literal.
    const QStringList lines{
        QStringLiteral("set imagePath to POSIX file \"") + scriptEscaped(imagePath) + QLatin1Char('"'),
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
        QStringLiteral("    do shell script \"defaults write com.apple.loginwindow DesktopPicture '")
            + scriptEscaped(shellEscaped(imagePath)) + QStringLiteral("'\""),
        QStringLiteral("end try"),
    };
    return lines.join(QLatin1Char('\n'));
}
