#pragma once

#include <QString>
#include <QStringList>

namespace samplecatalogue {

// Runs one command-line tool to completion from any thread (the server's worker threads have no
// Qt event loop, so QProcess is not an option there). Waits for its own child only.
class ProcessRunner {
public:
    // Runs program (looked up in PATH) with its input and output on /dev/null; true when it exits
    // with status 0 within timeoutMs. Otherwise error holds the reason and the end of the tool's
    // error output, which goes to logFile while it runs.
    static bool run(const QString& program, const QStringList& arguments, const QString& logFile,
                    int timeoutMs, QString* error);
};

} // namespace samplecatalogue
