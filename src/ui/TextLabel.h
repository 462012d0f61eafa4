#pragma once

#include <QLabel>

// A label in one font and colour (white at some opacity, as the pages write their texts),
// without the palette dance at every call site. The text is always plain: titles and error
// texts come from the catalogue and the network, and must never be read as markup.
class TextLabel : public QLabel {
    Q_OBJECT

public:
    TextLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);

    void setColor(const QColor& color);
    // Wrapped onto as many lines as the width needs, aligned as given; returns the label so a
    // layout line can build it in one go.
    TextLabel* wrapped(Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop);
};
