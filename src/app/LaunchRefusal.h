#pragma once

#include <QCoreApplication>
#include <QString>

// Why a launch ends without running, told to the user who started it: from a launcher or at
// login nobody reads the log, so on a display the reason and what to do show in a message box
// (the launch then waits for it to close, or for the process to be told to quit). Without a
// display (the offscreen and minimal platforms) only the log tells it, as on a terminal.
// GUI thread, after the QApplication and before its event loop.
class LaunchRefusal {
    Q_DECLARE_TR_FUNCTIONS(LaunchRefusal)

public:
    // Another copy runs but took no hand-over.
    static LaunchRefusal unanswered();
    // A copy of an earlier version, which locked another file, runs with the same settings.
    static LaunchRefusal earlierVersionRuns();
    // The profile's lock cannot be opened: `reason` names the file and the system's error,
    // `profileFolder` is the folder the user can mend.
    static LaunchRefusal lockUnavailable(const QString& reason, const QString& profileFolder);

    // What went wrong, in a sentence.
    const QString& reason() const { return reason_; }
    // What the user can do, and the system's own words where there are some.
    const QString& remedy() const { return remedy_; }

    // Shows the message box and runs the event loop until it is closed or the application quits;
    // returns at once without a display.
    void tell() const;

private:
    LaunchRefusal(QString reason, QString remedy) : reason_(std::move(reason)), remedy_(std::move(remedy)) {}

    QString reason_;
    QString remedy_;
};
