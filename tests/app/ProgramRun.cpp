#include "ProgramRun.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>

#include <algorithm>

#include <signal.h>

QString ProgramRun::programPath()
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/quorvelle");
    return QFileInfo(path).isExecutable() ? QFileInfo(path).canonicalFilePath() : QString();
}

ProgramRun::ProgramRun(const QProcessEnvironment& environment, const QStringList& arguments)
    : ProgramRun(programPath(), environment, arguments)
{
}

ProgramRun::ProgramRun(const QString& program, const QProcessEnvironment& environment, const QStringList& arguments)
{
    process_.setProcessEnvironment(environment);
    // Its own messages (Qt, sanitizers) stay on the test's standard error.
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(program, arguments);
    process_.waitForStarted();
}

ProgramRun::~ProgramRun()
{
    if (isRunning())
        terminate();
}

void ProgramRun::readLines()
{
    pending_ += process_.readAllStandardOutput();
    qsizetype end;
    while ((end = pending_.indexOf('\n')) >= 0) {
        lines_.append(QString::fromUtf8(pending_.left(end)));
        pending_.remove(0, end + 1);
    }
}

bool ProgramRun::hasLine(const QString& fragment) const { return indexOf(fragment) >= 0; }

int ProgramRun::countOf(const QString& fragment) const
{
    return int(std::count_if(lines_.begin(), lines_.end(), [&](const QString& line) { return line.contains(fragment); }));
}

int ProgramRun::indexOf(const QString& fragment) const
{
    for (qsizetype index = 0; index < lines_.size(); ++index)
        if (lines_[index].contains(fragment))
            return int(index);
    return -1;
}

bool ProgramRun::waitForLines(const QString& fragment, int count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    readLines();
    while (countOf(fragment) < count) {
        if (!isRunning() || deadline.hasExpired())
            return false;
        process_.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)));
        readLines();
    }
    return true;
}

int ProgramRun::terminate(int signalNumber)
{
    if (isRunning())
        ::kill(pid_t(process_.processId()), signalNumber);
    return waitForExit();
}

void ProgramRun::kill()
{
    process_.kill();
    process_.waitForFinished();
    readLines();
}

int ProgramRun::waitForExit()
{
    // No limit of its own: a slow exit under load is still the exit this waits for, and a program
    // that never ends is ended with the test case, by its time limit.
    process_.waitForFinished(-1);
    readLines();
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}
