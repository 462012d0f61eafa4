#pragma once

#include <QImage>

namespace pictor {

// Box convolution of a 32-bit premultiplied bitmap, the edges extended: a few passes of one odd
// box size approximate a Gaussian. Each pass is a horizontal and a vertical running sum, so the
// cost does not grow with the box size.
class BoxBlur {
public:
    // The odd box size and the number of passes that stand for a blur of the given radius.
    static int boxSize(double radius);
    static int passes(double radius);

    // bitmap must be Format_ARGB32_Premultiplied; boxSize odd and at least 1.
    static void apply(QImage& bitmap, int boxSize, int passes);
};

} // namespace pictor
