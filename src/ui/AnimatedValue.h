#pragma once

#include <QAbstractAnimation>

// One number moving along a curve towards a target: hover fades, shimmer offsets, springs.
// A new target (or a new curve) restarts from wherever the value is now, so an interrupted
// animation never jumps. It rides Qt's shared animation timer and leaves it when finished:
// an idle value costs nothing. GUI thread.
class AnimatedValue : public QAbstractAnimation {
    Q_OBJECT

public:
    struct Curve {
        enum class Shape { Linear, EaseInOut, EaseOut, Spring };
        Shape shape = Shape::EaseInOut;
        int durationMs = 350;          // every shape but the spring
        double response = 0.55;        // spring: seconds of one undamped swing
        double dampingFraction = 0.825; // spring: 1 settles without overshoot, less swings past
        int repeatCount = 1;           // -1: forever
        bool autoreverses = false;     // repeats run back and forth instead of jumping back

        static Curve linear(int durationMs);
        static Curve easeInOut(int durationMs);
        static Curve easeOut(int durationMs);
        static Curve spring(double response, double dampingFraction);
        Curve repeatingForever(bool reversing) const;

        // The length of one run; a spring's is the time it takes to settle within 0.1%.
        int cycleMs() const;
        // How far along the way from start to target the value is after `elapsedMs` of one run:
        // 0 at the start, exactly 1 at the end (a spring may pass 1 on its way).
        double progress(double elapsedMs) const;
    };

    explicit AnimatedValue(double initial = 0.0, QObject* parent = nullptr);

    double value() const { return value_; }
    double target() const { return to_; }
    // Jumps to `value` without animation, ending any run.
    void setValue(double value);
    // Moves from the current value to `target` along `curve`. A repeating curve restarts from
    // the current value each cycle; use setValue first to fix where the cycles begin.
    void animateTo(double target, const Curve& curve);

    int duration() const override;

signals:
    void valueChanged(double value);

protected:
    void updateCurrentTime(int currentTime) override;

private:
    void assign(double value);

    double value_;
    double from_;
    double to_;
    Curve curve_;
};
