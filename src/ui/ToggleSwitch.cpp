#include "ui/ToggleSwitch.h"

#include "ui/GlassBackground.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kKnobPadding = 3;
constexpr int kSlideMs = 200;
} // namespace

ToggleSwitch::ToggleSwitch(bool on, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeInOut(120), parent), on_(on), knob_(on ? 1 : 0)
{
    setFixedSize(kWidth, kHeight);
    connect(&knob_, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
    connect(this, &PressableWidget::clicked, this, [this] { Q_EMIT toggled(!on_); });
}

void ToggleSwitch::setOn(bool on)
{
    if (on == on_)
        return;
    on_ = on;
    if (isVisible())
        knob_.animateTo(on ? 1 : 0, AnimatedValue::Curve::easeInOut(kSlideMs));
    else
        knob_.setValue(on ? 1 : 0);
    update();
}

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal position = knob_.value();
    painter.fillPath(GlassBackground::shape(rect(), kHeight / 2.0), Theme::withOpacity(Qt::white, 0.3 + 0.7 * position));
    const qreal travel = kWidth - kKnob - 2 * kKnobPadding;
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QRectF(kKnobPadding + travel * position, kKnobPadding, kKnob, kKnob));
}
