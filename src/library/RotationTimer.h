#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

// The playlist rotation's repeating timer: fires timeout() every interval on the GUI thread
// until stopped. Virtual, so that a test can stand in a timer it fires by hand.
class RotationTimer : public QObject {
    Q_OBJECT

public:
    explicit RotationTimer(QObject* parent = nullptr);

    // (Re)starts with a new interval; the first firing comes one whole interval from now. An
    // interval longer than a QTimer holds (about 24.8 days) is cut to the longest it can.
    virtual void start(std::chrono::milliseconds interval);
    virtual void stop();
    virtual bool isActive() const;

Q_SIGNALS:
    void timeout();

private:
    QTimer timer_;
};
