#include "ui/Spinner.h"

#include "ui/Theme.h"

#include <QPainter>

#include <cmath>

namespace {
constexpr int kSpokes = 12;
constexpr int kTurnMs = 1000;
} // namespace

Spinner::Spinner(qreal scale, QColor color, QWidget* parent) : QWidget(parent), scale_(scale), color_(color)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(sizeHint());
    // Repaint only when the lit spoke moves on, not on every animation frame.
    connect(&phase_, &AnimatedValue::valueChanged, this, [this](double phase) {
        const int lit = int(phase) % kSpokes;
        if (lit != lit_) {
            lit_ = lit;
            update();
        }
    });
}

QSize Spinner::sizeHint() const
{
    const int side = std::max(1, int(std::lround(kDiameter * scale_)));
    return {side, side};
}

void Spinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    const qreal outer = side / 2;
    const qreal inner = outer * 0.45;
    const qreal thickness = std::max(1.0, side * 0.08);
    painter.translate(width() / 2.0, height() / 2.0);
    for (int spoke = 0; spoke < kSpokes; ++spoke) {
        // Spokes behind the lit one fade out, as the wheel's trail.
        const int behind = (lit_ - spoke + kSpokes) % kSpokes;
        painter.setPen(QPen(Theme::withOpacity(color_, 1.0 - 0.75 * behind / (kSpokes - 1)), thickness, Qt::SolidLine, Qt::RoundCap));
        const qreal angle = 2 * M_PI * spoke / kSpokes - M_PI / 2;
        painter.drawLine(QPointF(std::cos(angle) * inner, std::sin(angle) * inner),
            QPointF(std::cos(angle) * (outer - thickness / 2), std::sin(angle) * (outer - thickness / 2)));
    }
}

void Spinner::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    phase_.setValue(0);
    phase_.animateTo(kSpokes, AnimatedValue::Curve::linear(kTurnMs).repeatingForever(false));
}

void Spinner::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    phase_.setValue(0);
}
