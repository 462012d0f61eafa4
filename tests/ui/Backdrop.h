#pragma once

#include "Screenshot.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QTest>
#include <QWidget>

#include <functional>

// What the widgets sit on in the windows: the background colour, or a colourful picture that
// shows what translucent parts let through.
class Backdrop : public QWidget {
public:
    explicit Backdrop(bool colourful) : colourful_(colourful) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Theme::appBackgroundColor());
        if (!colourful_)
            return;
        QLinearGradient picture(0, 0, width(), height());
        picture.setColorAt(0, QColor(240, 140, 60));
        picture.setColorAt(0.5, QColor(60, 160, 200));
        picture.setColorAt(1, QColor(40, 60, 120));
        painter.fillRect(rect(), picture);
    }

private:
    bool colourful_;
};

// What a shot saved: the picture and where each widget was in it.
struct Shot {
    QImage picture;
    QList<QRect> frames; // in the picture's pixels, which on a dense screen are smaller than the widgets'
};

// Shows `widgets` in a row on a backdrop (which takes them), lets `prepare` set their state,
// saves the picture.
inline Shot shoot(const QString& name, const QList<QWidget*>& widgets, bool colourful = false,
    const std::function<void()>& prepare = {})
{
    Backdrop host(colourful);
    auto* row = new QHBoxLayout(&host);
    row->setContentsMargins(24, 24, 24, 24);
    row->setSpacing(24);
    for (QWidget* widget : widgets)
        row->addWidget(widget, 0, Qt::AlignCenter);
    host.show();
    host.resize(host.sizeHint()); // adjustSize would cap the width to part of the screen
    if (prepare)
        prepare();
    QTest::qWait(0);
    Shot shot{saveScreenshot(host, name), {}};
    const qreal ratio = shot.picture.devicePixelRatio();
    for (const QWidget* widget : widgets) {
        const QRectF frame = widget->geometry();
        shot.frames.append(QRectF(frame.topLeft() * ratio, frame.size() * ratio).toRect());
    }
    return shot;
}
