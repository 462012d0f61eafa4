#include "platform/ProcessRunner.h"

#include "foundation/Shared.h"

#include <QCoro/QCoroProcess>
#include <QCoro/QCoroTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <chrono>
#include <limits>
#include <memory>

namespace {
// After a kill, how long to wait for the process to be reaped.
constexpr std::chrono::milliseconds kReapWait{5'000};

struct DeleteLater {
    // The process may still be emitting the signal that resumed us.
    void operator()(QProcess* process) const { process->deleteLater(); }
};

std::chrono::milliseconds waitLimit(int timeoutMs)
{
    return std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : -1);
}

// Waits until QProcess leaves Starting: QCoro's own wait listens for `started` alone and would
// sit out the whole time-out on a failed start. One timer is both the deadline and the wake-up.
// A quick tool may run and end before Running is ever announced, so only FailedToStart counts
// as a failed start.
QCoro::Task<bool> startedWithin(QProcess* process, int timeoutMs)
{
    bool failed = false;
    if (process->state() == QProcess::Starting) {
        QTimer wake;
        wake.setSingleShot(true);
        QObject::connect(process, &QProcess::errorOccurred, &wake, [&failed](QProcess::ProcessError error) {
            failed = failed || error == QProcess::FailedToStart;
        });
        QObject::connect(process, &QProcess::stateChanged, &wake, [&wake](QProcess::ProcessState state) {
            if (state != QProcess::Starting)
                wake.start(0);
        });
        wake.start(timeoutMs > 0 ? timeoutMs : std::numeric_limits<int>::max());
        co_await qCoro(wake).waitForTimeout();
    }
    co_return !failed && process->state() != QProcess::Starting;
}
} // namespace

ProcessRunner& ProcessRunner::shared() { return Shared<ProcessRunner>::instance(); }

void ProcessRunner::setToolPath(const QString& tool, const QString& path)
{
    if (path.isEmpty())
        toolPaths_.remove(tool);
    else
        toolPaths_.insert(tool, path);
}

QString ProcessRunner::toolPath(const QString& tool) const
{
    const auto set = toolPaths_.constFind(tool);
    return set != toolPaths_.cend() ? *set : QStandardPaths::findExecutable(tool);
}

QCoro::Task<ProcessResult> ProcessRunner::run(QString tool, QStringList arguments, int timeoutMs, QByteArray input)
{
    ProcessResult result;
    const QString program = toolPath(tool);
    if (program.isEmpty()) {
        result.failedToStart = true;
        result.errorMessage = QStringLiteral("The tool “%1” was not found.").arg(tool);
        co_return result;
    }

    std::unique_ptr<QProcess, DeleteLater> process(new QProcess);
    process->setProgram(program);
    process->setArguments(arguments);
    process->start();
    if (!co_await startedWithin(process.get(), timeoutMs)) {
        result.failedToStart = true;
        result.errorMessage = QStringLiteral("“%1” could not be started: %2").arg(tool, process->errorString());
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            co_await qCoro(*process).waitForFinished(kReapWait);
        }
        co_return result;
    }

    process->write(input);
    process->closeWriteChannel();
    if (!co_await qCoro(*process).waitForFinished(waitLimit(timeoutMs)) && process->state() != QProcess::NotRunning) {
        result.timedOut = true;
        result.errorMessage = QStringLiteral("“%1” did not finish within %2 ms and was killed.").arg(tool).arg(timeoutMs);
        process->kill();
        co_await qCoro(*process).waitForFinished(kReapWait);
    }

    result.standardOutput = process->readAllStandardOutput();
    result.standardError = process->readAllStandardError();
    if (!result.timedOut) {
        result.crashed = process->exitStatus() == QProcess::CrashExit;
        result.exitCode = result.crashed ? -1 : process->exitCode();
        if (result.crashed)
            result.errorMessage = QStringLiteral("“%1” crashed: %2").arg(tool, process->errorString());
    }
    co_return result;
}
