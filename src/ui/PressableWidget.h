#pragma once

#include "ui/AnimatedValue.h"

#include <QWidget>

// The base of the painted controls (hearts, chips, bar buttons): it follows the pointer as a
// hover flag and an animated hover amount from 0 to 1, shows the pointing hand over itself, and
// reports a click when the left button is pressed and released inside its hit shape. A disabled
// control shows the arrow and no hover, also when it was disabled under the pointer.
class PressableWidget : public QWidget {
    Q_OBJECT

public:
    explicit PressableWidget(const AnimatedValue::Curve& hoverCurve, QWidget* parent = nullptr);

    bool isHovered() const { return hovered_; }
    // The left button went down inside and has not been released yet.
    bool isPressed() const { return pressed_; }
    // 0 when the pointer is away, 1 when over, in between while the change animates.
    qreal hoverAmount() const { return hover_.value(); }

signals:
    void clicked();
    // Every step of the hover animation, for parts placed by it rather than painted.
    void hoverAmountChanged(qreal amount);

protected:
    // Where clicks count; the whole widget unless a control says otherwise.
    virtual bool hitTest(const QPointF& point) const;

    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void setHovered(bool hovered);
    void setPressed(bool pressed);

    AnimatedValue::Curve hoverCurve_;
    AnimatedValue hover_;
    bool hovered_ = false;
    bool pressed_ = false;
};
