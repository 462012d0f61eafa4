#include "ui/ToolTips.h"

#include "ui/PopoverHost.h"
#include "ui/ToolTipLabel.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

ToolTips::ToolTips(QObject* parent) : QObject(parent)
{
    expiry_.setSingleShot(true);
    expiry_.setInterval(kShownMs);
    connect(&expiry_, &QTimer::timeout, this, &ToolTips::hide);
}

void ToolTips::install()
{
    if (!qApp || qApp->findChild<ToolTips*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    qApp->installEventFilter(new ToolTips(qApp));
}

bool ToolTips::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ToolTip: {
        // A widget without a tip of its own passes the question on to its parent.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->toolTip().isEmpty())
            break;
        show(widget);
        return true;
    }
    case QEvent::Leave:
    case QEvent::Hide:
        if (watched == about_)
            hide();
        break;
    case QEvent::Move: {
        // A scroll or a layout took the widget away from its tip: nothing tells the pointer,
        // which no longer rests on it, and the tip would stand beside whatever came instead.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (about_ && widget && (widget == about_ || widget->isAncestorOf(about_)))
            hide();
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::WindowDeactivate:
        hide();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void ToolTips::show(QWidget* about)
{
    if (label_ && about == about_ && label_->text() == about->toolTip() && label_->isVisible())
        return;
    hide();
    about_ = about;
    label_ = new ToolTipLabel(about->toolTip(), about);
    const QRect anchor(about->mapToGlobal(QPoint(0, 0)), about->size());
    label_->move(PopoverHost::placement(anchor, label_->size(), PopoverHost::availableArea(about)));
    label_->show();
    expiry_.start();
}

void ToolTips::hide()
{
    expiry_.stop();
    about_ = nullptr;
    if (label_) {
        label_->hide();
        label_->deleteLater();
        label_ = nullptr;
    }
}
