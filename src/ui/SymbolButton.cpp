#include "ui/SymbolButton.h"

#include "ui/Symbols.h"

#include <QEvent>
#include <QPainter>

namespace {
constexpr qreal kDisabledOpacity = 0.4;
}

SymbolButton::SymbolButton(const QString& symbol, qreal pointSize, const QColor& color, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeInOut(150), parent), symbol_(symbol), pointSize_(pointSize), color_(color)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SymbolButton::sizeHint() const
{
    const int side = Symbols::sizeForFont(pointSize_);
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
    painter.setOpacity(isEnabled() ? 1.0 : kDisabledOpacity);
    Symbols::paint(painter, rect(), symbol_, color_);
}
