#include "pictor/views/DisplayLink.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace pictor {

DisplayLink::DisplayLink(std::function<void()> callback, QObject* parent) : QObject(parent), callback_(std::move(callback))
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &DisplayLink::fire);
    clock_.start();
    setScreen(QGuiApplication::primaryScreen());
}

void DisplayLink::setScreen(QScreen* screen)
{
    if (screen_)
        disconnect(screen_, nullptr, this, nullptr);
    screen_ = screen;
    const auto follow = [this] {
        const double rate = screen_ ? screen_->refreshRate() : 0.0;
        duration_ = std::isfinite(rate) && rate >= 1.0 ? 1.0 / rate : 1.0 / 60;
        timer_.setInterval(std::max(1, int(std::lround(duration_ * 1000))));
    };
    if (screen_)
        connect(screen_, &QScreen::refreshRateChanged, this, follow);
    follow();
}

void DisplayLink::setPaused(bool paused)
{
    paused_ = paused;
    if (paused) {
        timer_.stop();
    } else if (!timer_.isActive()) {
        timestamp_ = 0.0;
        timer_.start();
    }
}

void DisplayLink::invalidate()
{
    setPaused(true);
    callback_ = nullptr;
}

void DisplayLink::fire()
{
    const double now = double(clock_.nsecsElapsed()) / 1e9;
    const bool first = timestamp_ == 0.0;
    timestamp_ = now;
    if (!first && callback_)
        callback_();
}

} // namespace pictor
