#include "ui/TextButton.h"

#include "ui/GlassBackground.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

TextButton::Style TextButton::Style::outlined(qreal textOpacity, qreal fillOpacity, qreal borderOpacity, qreal fontSize,
    QFont::Weight weight)
{
    Style style;
    style.font = Theme::systemFont(fontSize, weight);
    style.text = Theme::withOpacity(Qt::white, textOpacity);
    style.fill = Theme::withOpacity(Qt::white, fillOpacity);
    style.border = Theme::withOpacity(Qt::white, borderOpacity);
    return style;
}

TextButton::TextButton(const QString& text, const Style& style, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeInOut(150), parent), text_(text), style_(style)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text);
}

void TextButton::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

void TextButton::setStyle(const Style& style)
{
    style_ = style;
    updateGeometry();
    update();
}

QColor TextButton::currentFill() const
{
    if (!isEnabled())
        return style_.disabledFill.isValid() ? style_.disabledFill : style_.fill;
    if (!style_.hoverFill.isValid())
        return style_.fill;
    return Theme::mix(style_.fill, style_.hoverFill, hoverAmount());
}

QSize TextButton::sizeHint() const
{
    const QFontMetrics metrics(style_.font);
    int width = metrics.horizontalAdvance(text_);
    int height = metrics.height();
    if (!style_.symbol.isEmpty()) {
        const int symbol = Symbols::sizeForFont(style_.symbolPointSize);
        width += style_.spacing + symbol;
        height = std::max(height, symbol);
    }
    return {width + style_.padding.left() + style_.padding.right(), height + style_.padding.top() + style_.padding.bottom()};
}

void TextButton::changeEvent(QEvent* event)
{
    PressableWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
        update();
    }
}

void TextButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal inset = style_.border.isValid() ? style_.borderWidth / 2 : 0;
    const QRectF box = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    const QPainterPath shape = GlassBackground::shape(box, style_.cornerRadius);
    painter.fillPath(shape, currentFill());
    if (style_.border.isValid()) {
        painter.setPen(QPen(style_.border, style_.borderWidth));
        painter.drawPath(shape);
    }

    const QFontMetrics metrics(style_.font);
    const int symbolSize = style_.symbol.isEmpty() ? 0 : Symbols::sizeForFont(style_.symbolPointSize);
    const int textWidth = std::min(metrics.horizontalAdvance(text_), rect().marginsRemoved(style_.padding).width());
    const int labelWidth = textWidth + (symbolSize ? style_.spacing + symbolSize : 0);
    const QRect content = rect().marginsRemoved(style_.padding);
    const int left = style_.centred ? content.left() + (content.width() - labelWidth) / 2 : content.left();
    const int textLeft = style_.symbolLeading && symbolSize ? left + symbolSize + style_.spacing : left;
    painter.setFont(style_.font);
    painter.setPen(style_.text);
    painter.drawText(QRect(textLeft, content.top(), textWidth + 1, content.height()), Qt::AlignVCenter | Qt::AlignLeft, text_);
    if (symbolSize) {
        const int symbolLeft = style_.symbolLeading ? left
            : style_.symbolAtEdge                   ? content.right() + 1 - symbolSize
                                                    : left + textWidth + style_.spacing;
        const QRectF symbolBox(symbolLeft, content.center().y() - symbolSize / 2.0 + 0.5, symbolSize, symbolSize);
        Symbols::paint(painter, symbolBox, style_.symbol, style_.symbolColor.isValid() ? style_.symbolColor : style_.text);
    }
}
