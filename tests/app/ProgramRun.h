#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <csignal>

// The real quorvelle program run as a child process with an environment the test gives,
// its standard output collected line by line. Ended (SIGTERM, then SIGKILL) when still running
// at the end of the test.
class ProgramRun {
public:
    static constexpr int kWaitMs = 60'000;

    // The program built beside this test program; empty when it is not there.
    static QString programPath();

    ProgramRun(const QProcessEnvironment& environment, const QStringList& arguments = {});
    // Another build of the program, such as the one a package installed.
    ProgramRun(const QString& program, const QProcessEnvironment& environment, const QStringList& arguments = {});
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    qint64 processId() const { return process_.processId(); }
    // Waits (blocking) for a line that contains `fragment` (for `count` of them); false when the
    // program ended first or the time ran out.
    bool waitForLine(const QString& fragment, int timeoutMs = kWaitMs) { return waitForLines(fragment, 1, timeoutMs); }
    bool waitForLines(const QString& fragment, int count, int timeoutMs = kWaitMs);
    bool hasLine(const QString& fragment) const;
    int countOf(const QString& fragment) const;
    int indexOf(const QString& fragment) const;
    const QStringList& lines() const { return lines_; }
    QString output() const { return lines_.join(u'\n'); }

    // Sends SIGTERM (or another signal) and waits for the end, however long the exit takes (the
    // program's own deadline ends one that is stuck); the exit code, or -1 when it crashed or
    // ended by a signal.
    int terminate(int signalNumber = SIGTERM);
    // Waits for the program to end by itself, however long that takes within the test case's
    // time limit; the exit code, or -1 as above.
    int waitForExit();
    // Ends the program at once with SIGKILL, as a crash would, and waits for the end.
    void kill();

private:
    void readLines();

    QProcess process_;
    QByteArray pending_;
    QStringList lines_;
};
