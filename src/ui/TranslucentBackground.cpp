#include "ui/TranslucentBackground.h"

#include "ui/Theme.h"

#include <QPainter>

TranslucentBackground::TranslucentBackground(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TranslucentBackground::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), Theme::appBackgroundColor()); }
