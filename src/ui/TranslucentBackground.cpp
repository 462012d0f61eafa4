#include "ui/TranslucentBackground.h"

#include "ui/Theme.h"

#include <QPaintEvent>
#include <QPainter>

TranslucentBackground::TranslucentBackground(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TranslucentBackground::paint(QPainter& painter, const QRegion& region)
{
    for (const QRect& part : region)
        painter.fillRect(part, Theme::appBackgroundColor());
}

void TranslucentBackground::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    paint(painter, event->region());
}
