#include "screens/detail/FootBarIconHoverPressModifier.h"

#include "ui/PressableWidget.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QTimer>

FootBarIconHoverPressModifier::FootBarIconHoverPressModifier(PressableWidget* control)
    : QObject(control), control_(control), effect_(new QGraphicsOpacityEffect(control))
{
    effect_->setOpacity(1.0);
    control->setGraphicsEffect(effect_);
    control->installEventFilter(this);
    connect(control, &PressableWidget::hoverAmountChanged, this, &FootBarIconHoverPressModifier::follow);
}

qreal FootBarIconHoverPressModifier::opacity() const
{
    if (control_->isPressed())
        return 0.65;
    return 1.0 - 0.15 * control_->hoverAmount();
}

void FootBarIconHoverPressModifier::follow() { effect_->setOpacity(opacity()); }

bool FootBarIconHoverPressModifier::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::Leave:
        // After the control has handled the event and updated its pressed state.
        QTimer::singleShot(0, this, &FootBarIconHoverPressModifier::follow);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
