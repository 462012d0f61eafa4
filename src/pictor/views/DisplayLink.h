#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QScreen;

namespace pictor {

// The clock of animated views: calls its callback on the GUI thread once per refresh of the
// screen (60 Hz when there is no screen or it reports no rate) while unpaused. A paused link runs
// no timer, so an idle view costs nothing. The first tick after unpausing only takes the time.
class DisplayLink : public QObject {
    Q_OBJECT
public:
    explicit DisplayLink(std::function<void()> callback, QObject* parent = nullptr);

    bool isPaused() const { return paused_; }
    void setPaused(bool paused);
    // 0: the screen's own rate applies.
    int preferredFramesPerSecond() const { return 0; }
    // Seconds of one refresh of the screen it follows.
    double duration() const { return duration_; }
    // Seconds on a monotonic clock at the last tick; 0 before the first.
    double timestamp() const { return timestamp_; }
    // Follows that screen's refresh rate from now on (none: 60 Hz).
    void setScreen(QScreen* screen);
    // Stops for good: the callback is dropped; unpausing later delivers nothing.
    void invalidate();

private:
    void fire();

    std::function<void()> callback_;
    QTimer timer_;
    QElapsedTimer clock_;
    QPointer<QScreen> screen_;
    bool paused_ = true;
    double duration_ = 1.0 / 60;
    double timestamp_ = 0.0;
};

} // namespace pictor
