#pragma once

#include <QTimer>
#include <QWidget>

namespace pictor {

// A spinning wheel of twelve spokes, painted; it turns (a tick every 80 ms) only while animating.
class SpinnerView : public QWidget {
    Q_OBJECT
public:
    explicit SpinnerView(QWidget* parent = nullptr);

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return timer_.isActive(); }
    QSize sizeHint() const override { return {32, 32}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer timer_;
    int step_ = 0;
};

} // namespace pictor
