#pragma once

#include "ui/PressableWidget.h"

#include <QApplication>
#include <QEnterEvent>
#include <QHelpEvent>
#include <QTest>

#include <gtest/gtest.h>

// Moves the pointer onto or off a widget as the window system reports it, and waits until the
// widget's hover animation has settled.
inline void hoverOver(PressableWidget& widget, bool over)
{
    if (over) {
        QEnterEvent enter(QPointF(widget.rect().center()), QPointF(widget.rect().center()), QPointF(widget.mapToGlobal(widget.rect().center())));
        QApplication::sendEvent(&widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&widget, &leave);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget.hoverAmount() == (over ? 1.0 : 0.0); }, 5000));
}

// Lets the pointer rest at `at` on `widget` as long as it takes a tooltip to come (Qt then asks
// the widget, which passes the question to its parent when it has no tip of its own; the tip
// shows at once), and answers the tooltip window on screen, or null.
inline QWidget* restPointer(QWidget& widget, QPoint at)
{
    QHelpEvent rest(QEvent::ToolTip, at, widget.mapToGlobal(at));
    QApplication::sendEvent(&widget, &rest);
    QCoreApplication::processEvents();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->windowType() == Qt::ToolTip && window->isVisible())
            return window;
    return nullptr;
}
