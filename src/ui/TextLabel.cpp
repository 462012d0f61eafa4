#include "ui/TextLabel.h"

#include "ui/ElidedText.h"

#include <QPainter>
#include <QtMath>

TextLabel::TextLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
    : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setFont(font);
    setColor(color);
}

void TextLabel::setColor(const QColor& color)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, color);
    setPalette(palette);
}

TextLabel* TextLabel::wrapped(Qt::Alignment alignment)
{
    setWordWrap(true);
    setAlignment(alignment);
    return this;
}

TextLabel* TextLabel::elided()
{
    elided_ = true;
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Preferred, sizePolicy().verticalPolicy());
    QLabel::setText(ElidedText::bounded(text()));
    return this;
}

void TextLabel::setText(const QString& text) { QLabel::setText(elided_ ? ElidedText::bounded(text) : text); }

QSize TextLabel::sizeHint() const
{
    if (!elided_)
        return QLabel::sizeHint();
    const QFontMetricsF metrics(font());
    const QMargins margins = contentsMargins();
    return {qCeil(metrics.horizontalAdvance(text())) + margins.left() + margins.right(),
        QFontMetrics(font()).height() + margins.top() + margins.bottom()};
}

QSize TextLabel::minimumSizeHint() const
{
    if (!elided_)
        return QLabel::minimumSizeHint();
    return {0, sizeHint().height()};
}

void TextLabel::paintEvent(QPaintEvent* event)
{
    if (!elided_) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect box = contentsRect();
    painter.drawText(box, int(alignment()) | Qt::TextSingleLine, ElidedText::toWidth(text(), QFontMetricsF(font()), box.width()));
}
