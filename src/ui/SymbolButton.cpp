#include "ui/SymbolButton.h"

#include "ui/Symbols.h"

#include <QEvent>
#include <QPainter>

namespace {
constexpr qreal kDisabledOpacity = 0.4;
}

SymbolButton::SymbolButton(const Look& look, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeInOut(150), parent), look_(look)
{
    setFixedSize(sizeHint());
}

SymbolButton::SymbolButton(const QString& symbol, qreal pointSize, const QColor& color, QWidget* parent)
    : SymbolButton(Look{symbol, pointSize, color}, parent)
{
}

QSize SymbolButton::sizeHint() const
{
    const int side = look_.side > 0 ? look_.side : Symbols::sizeForFont(look_.pointSize);
    return {side, side};
}

void SymbolButton::changeEvent(QEvent* event)
{
    PressableWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        // A disabled button shows no pointing hand.
        setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
        update();
    }
}

void SymbolButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isEnabled() ? 1.0 : kDisabledOpacity);
    const QRectF box = rect();
    if (look_.backdrop.alpha() > 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(look_.backdrop);
        painter.drawEllipse(box);
    }
    const qreal side = std::min<qreal>(Symbols::sizeForFont(look_.pointSize), std::min(box.width(), box.height()));
    Symbols::paint(painter, QRectF(box.center() - QPointF(side / 2, side / 2), QSizeF(side, side)), look_.symbol, look_.color);
}
