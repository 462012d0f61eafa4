#include "pictor/views/SpinnerView.h"

#include <QPainter>

namespace pictor {

namespace {
constexpr int kSpokes = 12;
}

SpinnerView::SpinnerView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(sizeHint());
    timer_.setInterval(80);
    connect(&timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % kSpokes;
        update();
    });
}

void SpinnerView::startAnimation() { timer_.start(); }

void SpinnerView::stopAnimation() { timer_.stop(); }

void SpinnerView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    QColor color = palette().color(QPalette::WindowText);
    QPen pen;
    pen.setWidthF(std::max(1.5, side / 12));
    pen.setCapStyle(Qt::RoundCap);
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the current step is the brightest; the ones behind it fade out.
        const int age = (step_ - i + kSpokes) % kSpokes;
        color.setAlphaF(1.0 - 0.75 * age / (kSpokes - 1));
        pen.setColor(color);
        painter.setPen(pen);
        painter.drawLine(QPointF(0, -side * 0.22), QPointF(0, -side * 0.42));
        painter.rotate(360.0 / kSpokes);
    }
}

} // namespace pictor
