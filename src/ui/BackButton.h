#pragma once

#include "ui/PressableWidget.h"

// The round back button that floats over a pushed page's top-leading corner: a white
// "chevron.left" on the glass background darkened by a black veil, 40 by 40, the whole square
// clickable. The owner decides what a click does (usually popping the page).
class BackButton : public PressableWidget {
    Q_OBJECT

public:
    static constexpr int kSide = 40;

    explicit BackButton(QWidget* parent = nullptr);

    QSize sizeHint() const override { return {kSide, kSide}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};
