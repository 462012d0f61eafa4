#pragma once

#include "ui/PressableWidget.h"

// A white symbol button of the full-screen page: the foot bar's back, share and playlist
// buttons and the page's report button. Looks differ only in their numbers: symbol size and
// colour, the square's side, the circle behind the symbol at rest and hovered, whether it dims
// while hovered, and whether it dims while pressed and glows (the foot bar's icon style).
class FootBarIconButton : public PressableWidget {
    Q_OBJECT

public:
    struct Look {
        qreal symbolPointSize = 18;
        int side = 36;
        qreal symbolOpacity = 1.0;
        qreal circleOpacity = 0;        // white circle behind the symbol at rest
        qreal hoveredCircleOpacity = 0; // and while hovered
        qreal shadeOpacity = 0;         // a black disc under all that, for a light picture beneath
        qreal hoveredOpacity = 0.85;    // the whole button while hovered
        bool iconStyle = true;          // dims to 0.65 while pressed, glows softly

        static Look footBarIcon();
        static Look back();
        static Look report();
    };

    FootBarIconButton(const QString& symbol, const Look& look, QWidget* parent = nullptr);

    const QString& symbol() const { return symbol_; }
    // What the button shows right now.
    qreal currentOpacity() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    Look look_;
};
