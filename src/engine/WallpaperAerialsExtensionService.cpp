#include "engine/WallpaperAerialsExtensionService.h"

#include "engine/ExtensionRestartError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/Text.h"
#include "platform/ProcessRunner.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <cerrno>
#include <csignal>
#include <optional>
#include <sys/types.h>
#include <unistd.h>

namespace {
const QString kSearchTool = QStringLiteral("pgrep");

int killProcess(qint32 processId, int signal) { return ::kill(pid_t(processId), signal) == 0 ? 0 : errno; }

// A pattern for the search tool's full command-line match that accepts only a command whose
// program is the name itself: "name" or "/any/folder/name", followed by its arguments or
// nothing. A command that merely mentions the name ("less name.log") or a longer name
// ("nameHelper") does not match, which matching the bare name anywhere would.
QString exactProgramPattern(const QString& name)
{
    QString escaped;
    for (const QChar c : name) {
        if (QStringLiteral(".[]()*+?{}|^$\\").contains(c))
            escaped += u'\\';
        escaped += c;
    }
    return QStringLiteral("^([^ ]*/)?") + escaped + QStringLiteral("( |$)");
}
} // namespace

WallpaperAerialsExtensionService::WallpaperAerialsExtensionService(QObject* parent)
    : WallpaperAerialsExtensionService(kProcessName, parent)
{
}

WallpaperAerialsExtensionService::WallpaperAerialsExtensionService(QString processName, QObject* parent)
    : QObject(parent), processName_(std::move(processName)), sendSignal_(killProcess)
{
}

WallpaperAerialsExtensionService& WallpaperAerialsExtensionService::shared()
{
    return Shared<WallpaperAerialsExtensionService>::instance();
}

QList<qint32> WallpaperAerialsExtensionService::parseProcessIDs(const QByteArray& output)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = Text::trimmed(decoder.decode(output));
    QList<qint32> ids;
    if (decoder.hasError())
        return ids;
    for (const QString& line : text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")))) {
        bool isNumber = false;
        const qint32 id = Text::trimmedSpaces(line).toInt(&isNumber);
        // kill(2) reads 0 and negative numbers as whole process groups: never signal those.
        if (isNumber && id > 0)
            ids.append(id);
    }
    return ids;
}

QCoro::Task<QList<qint32>> WallpaperAerialsExtensionService::findProcessIDs()
{
    // Only the current user's processes: another user's extension is not ours to end.
    const QStringList arguments{QStringLiteral("-u"), QString::number(::getuid()), QStringLiteral("-f"),
        exactProgramPattern(processName_)};
    const ProcessResult result = co_await ProcessRunner::shared().run(kSearchTool, arguments);
    if (!result.exitedNormally())
        co_return QList<qint32>();
    co_return parseProcessIDs(result.standardOutput);
}

QCoro::Task<> WallpaperAerialsExtensionService::restartExtension()
{
    const QList<qint32> ids = co_await findProcessIDs();
    if (ids.isEmpty()) {
        logLine(QStringLiteral("ℹ️"), QStringLiteral("WallpaperAerialsExtensionService"),
            QStringLiteral("No ") + processName_ + QStringLiteral(" process running, nothing to restart"));
        co_return;
    }

    bool signalled = false;
    std::optional<ExtensionRestartError> failure;
    for (const qint32 id : ids) {
        int error = sendSignal_(id, SIGTERM);
        // A process that is already gone has ended, which is all the restart wants.
        if (error != 0 && error != ESRCH)
            error = sendSignal_(id, SIGKILL);
        signalled = signalled || error == 0;
        if (error == 0 || error == ESRCH || failure)
            continue;
        const QString process = QStringLiteral("Failed to kill process %1: ").arg(id);
        const ExtensionRestartError cause(ExtensionRestartError::Kind::killFailed, process + QStringLiteral("errno %1").arg(error));
        failure.emplace(ExtensionRestartError::Kind::killFailed, process + cause.localizedDescription());
    }
    if (signalled)
        co_await sleepFor(kSettleDelayMs);
    if (failure)
        throw *failure;
}
