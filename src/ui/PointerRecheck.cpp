#include "ui/PointerRecheck.h"

#include <QAbstractScrollArea>
#include <QCursor>
#include <QEvent>
#include <QScrollBar>
#include <QWidget>

PointerRecheck::PointerRecheck(QWidget* widget, Recheck recheck)
    : QObject(widget), widget_(widget), recheck_(std::move(recheck))
{
    widget->installEventFilter(this);
    followScrollAreas();
}

std::optional<QPoint> PointerRecheck::pointerIn(const QWidget& widget)
{
    if (!widget.isVisible())
        return std::nullopt;
    const QPoint local = widget.mapFromGlobal(QCursor::pos());
    if (!widget.rect().contains(local))
        return std::nullopt;
    return local;
}

bool PointerRecheck::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == widget_ && (event->type() == QEvent::Show || event->type() == QEvent::ParentChange))
        followScrollAreas();
    return QObject::eventFilter(watched, event);
}

void PointerRecheck::followScrollAreas()
{
    for (QWidget* ancestor = widget_->parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        auto* area = qobject_cast<QAbstractScrollArea*>(ancestor);
        if (!area)
            continue;
        for (QScrollBar* bar : {area->verticalScrollBar(), area->horizontalScrollBar()}) {
            if (followed_.contains(bar))
                continue;
            followed_.append(bar);
            connect(bar, &QScrollBar::valueChanged, this, &PointerRecheck::recheck);
        }
    }
}

void PointerRecheck::recheck() { recheck_(pointerIn(*widget_)); }
