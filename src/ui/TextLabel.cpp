#include "ui/TextLabel.h"

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
