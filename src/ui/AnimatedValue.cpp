#include "ui/AnimatedValue.h"

#include <QEasingCurve>
#include <QPointF>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The two standard timing curves as cubic Béziers through (0, 0) and (1, 1).
QEasingCurve bezier(QPointF c1, QPointF c2)
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(c1, c2, QPointF(1, 1));
    return curve;
}

constexpr double kSettledWithin = 0.001;
// A spring damped so little that it would swing for minutes still ends.
constexpr int kLongestSpringMs = 10'000;

double angularFrequency(double response) { return 2 * std::numbers::pi / response; }

} // namespace

AnimatedValue::Curve AnimatedValue::Curve::linear(int durationMs) { return {Shape::Linear, durationMs}; }
AnimatedValue::Curve AnimatedValue::Curve::easeInOut(int durationMs) { return {Shape::EaseInOut, durationMs}; }
AnimatedValue::Curve AnimatedValue::Curve::easeOut(int durationMs) { return {Shape::EaseOut, durationMs}; }

AnimatedValue::Curve AnimatedValue::Curve::spring(double response, double dampingFraction)
{
    Curve curve;
    curve.shape = Shape::Spring;
    curve.response = response;
    curve.dampingFraction = dampingFraction;
    return curve;
}

AnimatedValue::Curve AnimatedValue::Curve::repeatingForever(bool reversing) const
{
    Curve curve = *this;
    curve.repeatCount = -1;
    curve.autoreverses = reversing;
    return curve;
}

int AnimatedValue::Curve::cycleMs() const
{
    if (shape != Shape::Spring)
        return std::max(0, durationMs);
    if (!(response > 0))
        return 0;
    const double omega = angularFrequency(response);
    const double zeta = std::max(dampingFraction, 0.01);
    // The slowest decaying part of the motion decides when it has settled.
    const double decay = zeta < 1 ? zeta * omega : omega * (zeta - std::sqrt(zeta * zeta - 1));
    const double settle = std::log(1 / kSettledWithin) / decay;
    return int(std::min<double>(kLongestSpringMs, std::ceil(settle * 1000)));
}

double AnimatedValue::Curve::progress(double elapsedMs) const
{
    const int cycle = cycleMs();
    if (cycle <= 0 || elapsedMs >= cycle)
        return 1.0;
    if (elapsedMs <= 0)
        return 0.0;
    const double fraction = elapsedMs / cycle;
    switch (shape) {
    case Shape::Linear:
        return fraction;
    case Shape::EaseInOut: {
        static const QEasingCurve curve = bezier({0.42, 0}, {0.58, 1});
        return curve.valueForProgress(fraction);
    }
    case Shape::EaseOut: {
        static const QEasingCurve curve = bezier({0, 0}, {0.58, 1});
        return curve.valueForProgress(fraction);
    }
    case Shape::Spring:
        break;
    }
    // A unit mass on a spring released at rest one unit from its target.
    const double t = elapsedMs / 1000;
    const double omega = angularFrequency(response);
    const double zeta = std::max(dampingFraction, 0.01);
    if (zeta < 1) {
        const double damped = omega * std::sqrt(1 - zeta * zeta);
        return 1 - std::exp(-zeta * omega * t) * (std::cos(damped * t) + zeta * omega / damped * std::sin(damped * t));
    }
    if (zeta == 1)
        return 1 - std::exp(-omega * t) * (1 + omega * t);
    const double root = omega * std::sqrt(zeta * zeta - 1);
    const double r1 = -zeta * omega + root;
    const double r2 = -zeta * omega - root;
    return 1 - (r2 * std::exp(r1 * t) - r1 * std::exp(r2 * t)) / (r2 - r1);
}

AnimatedValue::AnimatedValue(double initial, QObject* parent)
    : QAbstractAnimation(parent), value_(initial), from_(initial), to_(initial)
{
}

void AnimatedValue::setValue(double value)
{
    stop();
    from_ = to_ = value;
    assign(value);
}

void AnimatedValue::animateTo(double target, const Curve& curve)
{
    stop();
    from_ = value_;
    to_ = target;
    curve_ = curve;
    const bool repeats = curve.repeatCount != 1;
    if (curve.cycleMs() <= 0 || (from_ == to_ && !repeats)) {
        assign(target);
        return;
    }
    setLoopCount(curve.repeatCount == 0 ? 1 : curve.repeatCount);
    start();
}

int AnimatedValue::duration() const { return curve_.cycleMs(); }

void AnimatedValue::updateCurrentTime(int currentTime)
{
    double progress = curve_.progress(currentTime);
    if (curve_.autoreverses && currentLoop() % 2 == 1)
        progress = 1 - progress;
    assign(from_ + (to_ - from_) * progress);
}

void AnimatedValue::assign(double value)
{
    if (value == value_)
        return;
    value_ = value;
    emit valueChanged(value_);
}
