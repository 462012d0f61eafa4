#include "ui/LabelButton.h"

#include "ui/GlassBackground.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kSymbolSpacing = 6;
}

LabelButton::LabelButton(const QString& text, const Look& look, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeInOut(150), parent), text_(text), look_(look)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

int LabelButton::symbolSide() const { return look_.symbol.isEmpty() ? 0 : Symbols::sizeForFont(look_.font.pixelSize()); }

QSize LabelButton::sizeHint() const
{
    const QFontMetrics metrics(look_.font);
    const int symbol = symbolSide();
    const int width = metrics.horizontalAdvance(text_) + (symbol > 0 ? kSymbolSpacing + symbol : 0);
    return {width + 2 * look_.horizontalPadding, std::max(metrics.height(), symbol) + 2 * look_.verticalPadding};
}

bool LabelButton::hitTest(const QPointF& point) const
{
    return GlassBackground::shape(rect(), look_.cornerRadius).contains(point);
}

void LabelButton::paintEvent(QPaintEvent*)
{
    const qreal hover = hoverAmount();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(look_.restOpacity + (look_.hoverOpacity - look_.restOpacity) * hover);
    painter.fillPath(GlassBackground::shape(rect(), look_.cornerRadius), Theme::mix(look_.fill, look_.hoverFill, hover));

    const QFontMetrics metrics(look_.font);
    const int symbol = symbolSide();
    const int textWidth = metrics.horizontalAdvance(text_);
    const int contentWidth = textWidth + (symbol > 0 ? kSymbolSpacing + symbol : 0);
    const QRectF text((width() - contentWidth) / 2.0, 0, textWidth, height());
    painter.setFont(look_.font);
    painter.setPen(look_.textColor);
    painter.drawText(text, Qt::AlignCenter | Qt::TextSingleLine, text_);
    if (symbol > 0)
        Symbols::paint(painter, QRectF(text.right() + kSymbolSpacing, (height() - symbol) / 2.0, symbol, symbol),
            look_.symbol, look_.textColor);
}
