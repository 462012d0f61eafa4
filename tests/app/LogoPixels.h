#pragma once

#include <QColor>
#include <QImage>

// How many pixels of the logo's violet the header row's top-left corner shows, the window
// filling the picture: the header row is over the page when there are many.
inline int logoPixels(const QImage& screen)
{
    int violet = 0;
    for (int y = 10; y < 42; ++y)
        for (int x = 52; x < 84; ++x) {
            const QColor pixel = screen.pixelColor(x, y);
            violet += pixel.blue() > 150 && pixel.red() > 70 && pixel.green() < 130 ? 1 : 0;
        }
    return violet;
}
