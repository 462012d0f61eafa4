#pragma once

#include <QPalette>

class QWidget;

// The application's one dark appearance: the palette every window and widget draws with.
class DarkAppearance {
public:
    static QPalette palette();
    // Gives the window the dark palette and a dark background fill.
    static void apply(QWidget* window);
};
