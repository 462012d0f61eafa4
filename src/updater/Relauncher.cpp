#include "updater/Relauncher.h"

#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "platform/ApplicationBundle.h"
#include "platform/ProcessRunner.h"
#include "updater/UpdateError.h"

#include <QDir>
#include <QProcess>
#include <QSaveFile>

#include <algorithm>

namespace {
void log(const QString& emoji, const QString& message) { logLine(emoji, QStringLiteral("UpdateCheckService"), message); }

// The script never holds the path itself: it arrives as "$1", so no bundle name can turn into
// shell code.
void writeScript()
{
    QSaveFile file(Relauncher::scriptPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(Relauncher::scriptText().toUtf8()) < 0 || !file.commit()) {
        log(QStringLiteral("❌"), QStringLiteral("Could not write the relaunch script: ") + file.errorString());
        throw UpdateError(QStringLiteral("Failed to prepare relaunch"));
    }
    // rwxr-xr-x; bash is handed the script, so the mode only matters to people who look.
    QFile::setPermissions(Relauncher::scriptPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
            | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
}
} // namespace

Relauncher::Relauncher(Delays delays, std::function<void()> terminate)
    : delays_(std::move(delays)), terminate_(std::move(terminate))
{
}

QString Relauncher::scriptText()
{
    return QStringLiteral("#!/bin/bash\n"
                          "# Wait for old app to quit\n"
                          "sleep 2\n"
                          "# Launch new app (force new instance)\n"
                          "exec \"$1/")
        + ApplicationBundle::kProgram + u'"';
}

QString Relauncher::scriptPath() { return Paths::temporary() + QStringLiteral("/quorvelle_relaunch.sh"); }

bool Relauncher::isSafePath(const QString& path)
{
    if (!QDir::isAbsolutePath(path))
        return false;
    return std::none_of(path.cbegin(), path.cend(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

void Relauncher::relaunch(const QString& bundlePath, const QObject* context)
{
    log(QStringLiteral("📦"), QStringLiteral("Setting up relaunch script..."));
    if (!isSafePath(bundlePath)) {
        log(QStringLiteral("❌"), QStringLiteral("Refusing to relaunch from a path with control characters"));
        throw UpdateError(QStringLiteral("Invalid app location"));
    }
    writeScript();
    const QString shell = ProcessRunner::shared().toolPath(QStringLiteral("bash"));
    if (shell.isEmpty() || !QProcess::startDetached(shell, {scriptPath(), bundlePath})) {
        log(QStringLiteral("❌"), QStringLiteral("Could not start the relaunch script"));
        throw UpdateError(QStringLiteral("Failed to relaunch"));
    }
    log(QStringLiteral("📦"), QStringLiteral("Relaunch script started, terminating current app..."));
    delays_.after(kTerminateDelayMs, context, [terminate = terminate_] {
        log(QStringLiteral("📦"), QStringLiteral("Terminating current app..."));
        terminate();
    });
}
