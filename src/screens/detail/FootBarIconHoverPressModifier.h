#pragma once

#include <QObject>

class PressableWidget;
class QGraphicsOpacityEffect;

// Hover and press feedback by opacity for a control that draws its own look (the foot bar's
// heart): 0.65 while pressed, else 0.85 while hovered, else 1. Watches the control's pointer
// events without taking any from it. Owned by the control.
class FootBarIconHoverPressModifier : public QObject {
    Q_OBJECT

public:
    explicit FootBarIconHoverPressModifier(PressableWidget* control);

    qreal opacity() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();

    PressableWidget* control_;
    QGraphicsOpacityEffect* effect_;
};
