#include "ui/SymbolButton.h"

#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QPainter>

SymbolButton::SymbolButton(const Look& look, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeInOut(120), parent), look_(look)
{
    setFixedSize(sizeHint());
}

QColor SymbolButton::symbolColor() const
{
    // Hovering lifts the symbol a quarter of the way towards full opacity.
    QColor color = look_.color;
    color.setAlphaF(float(color.alphaF() + (1 - color.alphaF()) * 0.25 * hoverAmount()));
    return color;
}

QSize SymbolButton::sizeHint() const
{
    const int side = look_.side > 0 ? look_.side : Symbols::sizeForFont(look_.symbolPointSize);
    return {side, side};
}

void SymbolButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = rect();
    if (look_.backdrop.alpha() > 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(look_.backdrop);
        painter.drawEllipse(box);
    }
    const qreal symbol = std::min<qreal>(Symbols::sizeForFont(look_.symbolPointSize), std::min(box.width(), box.height()));
    Symbols::paint(painter, QRectF(box.center() - QPointF(symbol / 2, symbol / 2), QSizeF(symbol, symbol)), look_.symbol,
        symbolColor());
}
