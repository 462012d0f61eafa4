#pragma once

#include "ui/PressableWidget.h"

#include <QColor>

// A symbol that acts as a button (the chevrons that page a row, a field's clear button, a
// sheet's round close button): optionally on a filled circle, no hover look of its own; drawn at
// 0.4 of its colour's opacity while disabled, when it takes no clicks. Its size is fixed.
class SymbolButton : public PressableWidget {
    Q_OBJECT

public:
    struct Look {
        QString symbol;
        qreal pointSize = 17;
        QColor color = Qt::white;
        QColor backdrop = Qt::transparent; // a circle filling the button; transparent: none
        int side = 0;                      // 0: the symbol's own size
    };

    explicit SymbolButton(const Look& look, QWidget* parent = nullptr);
    SymbolButton(const QString& symbol, qreal pointSize, const QColor& color, QWidget* parent = nullptr);

    const Look& look() const { return look_; }
    QSize sizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    Look look_;
};
