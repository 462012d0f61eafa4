#pragma once

#include <QLabel>

// A label in one font and colour (white at some opacity, as the pages write their texts),
// without the palette dance at every call site.
class TextLabel : public QLabel {
    Q_OBJECT

public:
    TextLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);

    void setColor(const QColor& color);
};
