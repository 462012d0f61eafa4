#include "ui/PressableWidget.h"

#include <QMouseEvent>

PressableWidget::PressableWidget(const AnimatedValue::Curve& hoverCurve, QWidget* parent)
    : QWidget(parent), hoverCurve_(hoverCurve)
{
    setAttribute(Qt::WA_TranslucentBackground);
    // The widget's own cursor: it cannot outlive the widget or stay stuck when it disappears.
    setCursor(Qt::PointingHandCursor);
    connect(&hover_, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&hover_, &AnimatedValue::valueChanged, this, &PressableWidget::hoverAmountChanged);
}

bool PressableWidget::hitTest(const QPointF& point) const { return rect().contains(point.toPoint()); }

void PressableWidget::setHovered(bool hovered)
{
    if (hovered == hovered_)
        return;
    hovered_ = hovered;
    hover_.animateTo(hovered ? 1 : 0, hoverCurve_);
}

void PressableWidget::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    // Qt still sends enter events to a disabled widget.
    setHovered(isEnabled());
}

void PressableWidget::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovered(false);
    setPressed(false);
}

void PressableWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !hitTest(event->position()))
        return QWidget::mousePressEvent(event);
    setPressed(true);
}

void PressableWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressed_)
        return QWidget::mouseReleaseEvent(event);
    setPressed(false);
    if (hitTest(event->position()))
        emit clicked();
}

// A control hidden under the pointer gets no leave: it comes back unhovered.
void PressableWidget::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    hovered_ = false;
    pressed_ = false;
    hover_.setValue(0);
}

void PressableWidget::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::EnabledChange)
        return;
    setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (!isEnabled()) {
        setHovered(false);
        setPressed(false);
    } else if (underMouse()) {
        setHovered(true);
    }
}

void PressableWidget::setPressed(bool pressed)
{
    if (pressed == pressed_)
        return;
    pressed_ = pressed;
    update();
}
