#pragma once

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

// Turns Unix signals (SIGINT, SIGTERM) into a Qt signal on the GUI thread through a self-pipe:
// the handler only writes the signal number, so no Qt code runs inside it. A GUI thread stuck in
// a long load never reads the pipe, and an exit can wait on a stuck worker, so the handler also
// arms a deadline: unless the whole process has ended within `graceSeconds` of the first signal,
// it ends by the signal it was sent.
class UnixSignalWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr unsigned kDefaultGraceSeconds = 5;

    explicit UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent = nullptr,
        unsigned graceSeconds = kDefaultGraceSeconds);
    ~UnixSignalWatcher() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* notifier_ = nullptr;
};
