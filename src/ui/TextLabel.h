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
    // One line cut with an ellipsis to the width the layout gives, for texts of any length from
    // the catalogue: the label asks for no more than its text's bounded length and accepts less.
    TextLabel* elided();
    bool isElided() const { return elided_; }
    // Hides QLabel::setText so an eliding label keeps its bound.
    void setText(const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool elided_ = false;
};
