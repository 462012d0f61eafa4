#include "ui/LabelButton.h"

#include "ui/ElidedText.h"
#include "ui/GlassBackground.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>


LabelButton::LabelButton(const QString& text, const Look& look, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeInOut(150), parent), text_(ElidedText::bounded(text)), look_(look)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

LabelButton::Look LabelButton::Look::outlined(qreal textOpacity, qreal fillOpacity, qreal borderOpacity, qreal fontSize,
    QFont::Weight weight)
{
    Look look;
    look.font = Theme::systemFont(fontSize, weight);
    look.textColor = Theme::withOpacity(Qt::white, textOpacity);
    look.fill = look.hoverFill = Theme::withOpacity(Qt::white, fillOpacity);
    look.border = Theme::withOpacity(Qt::white, borderOpacity);
    look.cornerRadius = 8;
    look.horizontalPadding = 16;
    look.verticalPadding = 8;
    return look;
}

void LabelButton::setText(const QString& given)
{
    // A category name from the catalogue, for one, is shown here.
    const QString text = ElidedText::bounded(given);
    if (text == text_)
        return;
    text_ = text;
    setAccessibleName(text);
    cache_.invalidate();
    updateGeometry();
    update();
}

void LabelButton::setLook(const Look& look)
{
    look_ = look;
    cache_.invalidate();
    updateGeometry();
    update();
}

QColor LabelButton::currentFill() const
{
    if (!isEnabled())
        return look_.disabledFill.isValid() ? look_.disabledFill : look_.fill;
    return Theme::mix(look_.fill, look_.hoverFill, hoverAmount());
}

void LabelButton::changeEvent(QEvent* event)
{
    PressableWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
        update();
    }
}

int LabelButton::symbolSide() const
{
    if (look_.symbol.isEmpty())
        return 0;
    return Symbols::sizeForFont(look_.symbolPointSize > 0 ? look_.symbolPointSize : look_.font.pixelSize());
}

QSize LabelButton::sizeHint() const
{
    const QFontMetrics metrics(look_.font);
    const int symbol = symbolSide();
    const int width = metrics.horizontalAdvance(text_) + (symbol > 0 ? look_.symbolSpacing + symbol : 0);
    return {width + 2 * look_.horizontalPadding, std::max(metrics.height(), symbol) + 2 * look_.verticalPadding};
}

int LabelButton::symbolRoomWidth() const
{
    const int symbol = symbolSide();
    return symbol > 0 ? look_.symbolSpacing + symbol : 0;
}

int LabelButton::textRoom() const { return std::max(width() - 2 * look_.horizontalPadding - symbolRoomWidth(), 0); }

QString LabelButton::shownText() const
{
    // A text wider than the button (a long category name in a list) ends in "…", as everywhere.
    const QFontMetrics metrics(look_.font);
    const int room = textRoom();
    return metrics.horizontalAdvance(text_) > room ? metrics.elidedText(text_, Qt::ElideRight, room) : text_;
}

bool LabelButton::hitTest(const QPointF& point) const
{
    return GlassBackground::shape(rect(), look_.cornerRadius).contains(point);
}

void LabelButton::paintEvent(QPaintEvent*)
{
    const qreal hover = isEnabled() ? hoverAmount() : 0;
    QPainter painter(this);
    cache_.paint(painter, *this, {hover, isEnabled() ? 1.0 : 0.0}, [this, hover](QPainter& cached) { paintButton(cached, hover); });
}

void LabelButton::paintButton(QPainter& painter, qreal hover) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(look_.restOpacity + (look_.hoverOpacity - look_.restOpacity) * hover);
    // A rim lies inside the button, half its width in from the edge.
    const qreal inset = look_.border.isValid() ? look_.borderWidth / 2 : 0;
    const QPainterPath shape = GlassBackground::shape(QRectF(rect()).adjusted(inset, inset, -inset, -inset), look_.cornerRadius);
    painter.fillPath(shape, currentFill());
    if (look_.border.isValid()) {
        painter.setPen(QPen(look_.border, look_.borderWidth));
        painter.drawPath(shape);
    }

    const QFontMetrics metrics(look_.font);
    const int symbol = symbolSide();
    const int symbolRoom = symbolRoomWidth();
    const int room = textRoom();
    const QString shown = shownText();
    const int textWidth = std::min(metrics.horizontalAdvance(shown), room);
    const int contentWidth = textWidth + symbolRoom;
    const qreal left = look_.centred ? (width() - contentWidth) / 2.0 : look_.horizontalPadding;
    const qreal textLeft = symbol > 0 && look_.symbolLeading ? left + symbol + look_.symbolSpacing : left;
    painter.setFont(look_.font);
    painter.setPen(look_.textColor);
    painter.drawText(QRectF(textLeft, 0, textWidth + 1, height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    if (symbol > 0) {
        const qreal symbolLeft = look_.symbolLeading ? left
            : look_.symbolAtEdge                     ? width() - look_.horizontalPadding - symbol
                                                     : textLeft + textWidth + look_.symbolSpacing;
        Symbols::paint(painter, QRectF(symbolLeft, (height() - symbol) / 2.0, symbol, symbol), look_.symbol,
            look_.symbolColor.isValid() ? look_.symbolColor : look_.textColor);
    }
}
