#include "screens/settings/LinkText.h"

#include "ui/Theme.h"

#include <QEvent>
#include <QPainter>

LinkText::LinkText(const QString& text, qreal pointSize, const QColor& color, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeInOut(120), parent), text_(text), font_(Theme::systemFont(pointSize)),
      color_(color)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize LinkText::sizeHint() const
{
    const QFontMetrics metrics(font_);
    return {metrics.horizontalAdvance(text_) + 2, metrics.height()};
}

void LinkText::changeEvent(QEvent* event)
{
    PressableWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
        update();
    }
}

void LinkText::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font_);
    const QColor color = isEnabled() ? Theme::mix(color_, Qt::white, hoverAmount()) : Theme::withOpacity(color_, 0.5);
    painter.setPen(color);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, text_);
}
