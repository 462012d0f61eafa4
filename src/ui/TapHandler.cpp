#include "ui/TapHandler.h"

#include <QMouseEvent>
#include <QWidget>

TapHandler::TapHandler(QWidget* target, std::function<void()> action)
    : QObject(target), target_(target), action_(std::move(action))
{
    target_->installEventFilter(this);
}

void TapHandler::setSuppressed(bool suppressed)
{
    suppressed_ = suppressed;
    pressed_ = false;
}

bool TapHandler::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != target_ || suppressed_)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        pressed_ = true;
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || !pressed_)
            return false;
        pressed_ = false;
        // A press dragged out of the card before release is no tap.
        if (target_->rect().contains(mouse->position().toPoint()) && action_)
            action_();
        return true;
    }
    default:
        return false;
    }
}
