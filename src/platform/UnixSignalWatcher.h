#pragma once

#include <QObject>

#include <initializer_list>

class QSocketNotifier;
class QTimer;

// Turns Unix signals (SIGINT, SIGTERM) into a Qt signal on the GUI thread through a self-pipe:
// the handler only writes the signal number, so no Qt code runs inside it. A GUI thread stuck in
// a long load never reads the pipe, and an exit can wait on a stuck worker, so the handler also
// arms a deadline: the process ends by the signal it was sent once it has shown no progress for
// `graceSeconds`. Progress is the GUI thread's event loop turning after it read the signal, and
// each step of the exit that calls extendDeadline(); a slow exit that keeps going (its saves on a
// loaded machine) is not cut, but none runs kLongestExitGraces graces past the reading.
class UnixSignalWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr unsigned kDefaultGraceSeconds = 5;
    static constexpr unsigned kLongestExitGraces = 12;

    explicit UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent = nullptr,
        unsigned graceSeconds = kDefaultGraceSeconds);
    ~UnixSignalWatcher() override;

    // A step of the exit ended, or a write of it moved on: once a signal came, its deadline
    // starts again from now (within the longest exit). Nothing before a signal. Any thread, so
    // that a write the GUI thread waits for keeps the exit alive while it moves.
    static void extendDeadline();
    // The exit's steps are done, everything saved: what is left (the libraries' own ends, a
    // sanitizer's check) may take the rest of the longest exit, as slow as a busy machine makes
    // it, but still no longer.
    static void allowTheRestOfTheExit();

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* notifier_ = nullptr;
    // Extends the deadline while the event loop turns after a signal was read.
    QTimer* heartbeat_ = nullptr;
};
