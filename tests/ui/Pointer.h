#pragma once

#include "ui/PressableWidget.h"

#include <QApplication>
#include <QEnterEvent>
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
