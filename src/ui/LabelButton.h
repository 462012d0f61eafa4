#pragma once

#include "ui/PressableWidget.h"

#include <QFont>

// A text button drawn as a filled rounded shape: the text, optionally followed by a symbol, on
// a fill that changes while hovered, the whole button at one opacity at rest and another while
// hovered. The look is given whole, so each caller states its own colours. GUI thread.
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
    };

    LabelButton(const QString& text, const Look& look, QWidget* parent = nullptr);

    QString text() const { return text_; }
    QSize sizeHint() const override;

protected:
    bool hitTest(const QPointF& point) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    int symbolSide() const;

    QString text_;
    Look look_;
};
