#pragma once

#include "state/Delays.h"

#include <QString>

#include <functional>

class QObject;

// Starts the installed bundle again once this process has gone: a small bash script, given the
// bundle's folder as its argument, waits two seconds and runs the bundle's program, and this
// process is asked to end half a second after the script started. GUI thread.
class Relauncher {
public:
    static constexpr int kTerminateDelayMs = 500;

    // `terminate` ends the application (tests record the request instead).
    Relauncher(Delays delays, std::function<void()> terminate);

    // Throws UpdateError, and keeps the application running, when the path is unsafe or the
    // script cannot be written or started. `context` bounds the scheduled termination.
    void relaunch(const QString& bundlePath, const QObject* context);

    static QString scriptText();
    static QString scriptPath();
    // An absolute path without control characters, safe to hand to the script.
    static bool isSafePath(const QString& path);

private:
    Delays delays_;
    std::function<void()> terminate_;
};
