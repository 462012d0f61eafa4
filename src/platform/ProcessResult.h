#pragma once

#include <QByteArray>
#include <QString>

// How one run of an outside tool ended. Exactly one of failedToStart, timedOut, crashed or a
// normal exit (exitCode) describes the end; the output is what the tool wrote until then.
struct ProcessResult {
    int exitCode = -1;
    bool crashed = false;
    bool failedToStart = false;
    bool timedOut = false;
    QString errorMessage; // why it did not start, timed out or crashed
    QByteArray standardOutput;
    QByteArray standardError;

    bool exitedNormally() const { return !failedToStart && !timedOut && !crashed; }
    bool succeeded() const { return exitedNormally() && exitCode == 0; }
};
