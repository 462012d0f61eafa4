#pragma once

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

// Turns Unix signals (SIGINT, SIGTERM) into a Qt signal on the GUI thread through a self-pipe:
// the handler only writes the signal number, so no Qt code runs inside it.
class UnixSignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~UnixSignalWatcher() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* notifier_ = nullptr;
};
