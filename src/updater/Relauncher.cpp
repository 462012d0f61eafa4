#include "updater/Relauncher.h"

#include "foundation/Log.h"
#include "platform/ApplicationBundle.h"
#include "platform/ProcessRunner.h"
#include "updater/UpdateError.h"
#include "updater/UpdaterFolders.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
void log(const QString& emoji, const QString& message) { logLine(emoji, QStringLiteral("UpdateCheckService"), message); }

// The script never holds the path itself: it arrives as "$1", so no bundle name can turn into
// shell code. Whatever is at the script's name goes first (a link is removed, not followed), and
// the script is made new, so the write can only land in this file.
void writeScript()
{
    const QString path = Relauncher::scriptPath();
    const QByteArray text = Relauncher::scriptText().toUtf8();
    QString reason;
    if (!UpdaterFolders::remove(path)) {
        reason = QStringLiteral("%1 cannot be replaced").arg(path);
    } else {
        const int descriptor = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0700);
        const bool written = descriptor >= 0 && ::write(descriptor, text.constData(), size_t(text.size())) == text.size();
        if (!written)
            reason = QString::fromLocal8Bit(std::strerror(errno));
        if (descriptor >= 0)
            ::close(descriptor);
    }
    if (!reason.isEmpty()) {
        log(QStringLiteral("❌"), QStringLiteral("Could not write the relaunch script: ") + reason);
        throw UpdateError(QStringLiteral("Failed to prepare relaunch"));
    }
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

QString Relauncher::scriptPath() { return UpdaterFolders::workFolder() + QStringLiteral("/quorvelle_relaunch.sh"); }

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
