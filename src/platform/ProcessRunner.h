#pragma once

#include "platform/ProcessResult.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QHash>
#include <QString>
#include <QStringList>

// Runs outside tools ("ffmpeg", "pgrep", "bash", ...) asynchronously on the GUI thread.
// Tools are named, and each name resolves through a table that tests can change; by default a
// name is looked up on PATH. A run never throws: every way it can end is in the ProcessResult.
class ProcessRunner {
public:
    static constexpr int kDefaultTimeoutMs = 30'000;

    static ProcessRunner& shared();

    // Runs `tool` with `arguments`, writing `input` to its standard input, then closing it.
    // After `timeoutMs` (0 or less: no limit) the process is killed and the result says so.
    QCoro::Task<ProcessResult> run(QString tool, QStringList arguments, int timeoutMs = kDefaultTimeoutMs,
        QByteArray input = {});

    // Points `tool` at an executable; an empty path goes back to the PATH lookup.
    void setToolPath(const QString& tool, const QString& path);
    // The executable `tool` resolves to; empty when it cannot be found.
    QString toolPath(const QString& tool) const;

private:
    QHash<QString, QString> toolPaths_;
};
