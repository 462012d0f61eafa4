#pragma once

#include "ui/PressableWidget.h"

#include <QColor>

// A symbol that is a button: the clear button of a field, a trash can, the round close button of
// a sheet. Optionally sits on a filled circle; the symbol brightens a little while hovered. The
// whole square is clickable and shows the pointing hand.
class SymbolButton : public PressableWidget {
    Q_OBJECT

public:
    struct Look {
        QString symbol;
        qreal symbolPointSize = 17;
        QColor color = Qt::white;
        QColor backdrop = Qt::transparent; // a circle filling the button; transparent: none
        int side = 0;                      // 0: the symbol's own size
    };

    explicit SymbolButton(const Look& look, QWidget* parent = nullptr);

    const Look& look() const { return look_; }
    // The symbol's colour right now, hover included.
    QColor symbolColor() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Look look_;
};
