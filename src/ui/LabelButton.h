#pragma once

#include "ui/PaintCache.h"
#include "ui/PressableWidget.h"

#include <QFont>

// A text button drawn as a filled rounded shape: the text, optionally with a symbol, on a fill
// that changes while hovered (and an optional rim), the whole button at one opacity at rest and
// another while hovered. A disabled button shows its disabled fill, ignores the pointer and keeps
// the arrow cursor. The look is given whole, so each caller states its own colours. GUI thread.
class LabelButton : public PressableWidget {
    Q_OBJECT

public:
    struct Look {
        QFont font;
        QColor textColor = Qt::white;
        QColor fill = Qt::transparent;
        QColor hoverFill = Qt::transparent;
        qreal cornerRadius = 999; // larger than half the height: a capsule
        int horizontalPadding = 20;
        int verticalPadding = 10;
        QString symbol;        // drawn after the text, 6 apart; none when empty
        qreal restOpacity = 1; // of the whole button
        qreal hoverOpacity = 1;
        QColor border;         // invalid: no rim
        qreal borderWidth = 1;
        QColor disabledFill;   // invalid: the fill stays
        QColor symbolColor;    // invalid: the text colour
        qreal symbolPointSize = 0; // 0: the font's size
        int symbolSpacing = 6;
        bool symbolLeading = false; // the symbol before the text
        bool symbolAtEdge = false;  // a trailing symbol at the right edge rather than after the text
        bool centred = true;        // false: the label starts at the left padding

        // White text on a white-tinted fill with a white rim, at the given opacities, padded 16 by 8
        // on a rounded rectangle of radius 8.
        static Look outlined(qreal textOpacity, qreal fillOpacity, qreal borderOpacity, qreal fontSize = 14,
            QFont::Weight weight = QFont::Medium);
    };

    LabelButton(const QString& text, const Look& look, QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString& text);
    // The text as drawn at the button's width: ended in "…" where it does not fit.
    QString shownText() const;
    const Look& look() const { return look_; }
    void setLook(const Look& look);
    // The fill drawn right now.
    QColor currentFill() const;
    QSize sizeHint() const override;

protected:
    bool hitTest(const QPointF& point) const override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int symbolSide() const;
    int symbolRoomWidth() const;
    // The width left for the text between the padding and the symbol.
    int textRoom() const;
    void paintButton(QPainter& painter, qreal hover) const;

    QString text_;
    Look look_;
    // Text and look paint it afresh; hover and enabled state are part of its key.
    PaintCache cache_;
};
