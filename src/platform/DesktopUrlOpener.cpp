#include "platform/DesktopUrlOpener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <utility>

bool DesktopUrlOpener::open(const QUrl& url) { return url.isValid() && QDesktopServices::openUrl(url); }

bool DesktopUrlOpener::openWallpaperSettings()
{
    const std::pair<QString, QStringList> tools[] = {
        {QStringLiteral("gnome-control-center"), {QStringLiteral("background")}},
        {QStringLiteral("systemsettings"), {QStringLiteral("kcm_wallpaper")}},
        {QStringLiteral("xfdesktop-settings"), {}},
    };
    for (const auto& [tool, arguments] : tools) {
        const QString program = QStandardPaths::findExecutable(tool);
        if (!program.isEmpty() && QProcess::startDetached(program, arguments))
            return true;
    }
    return false;
}
