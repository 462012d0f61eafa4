#pragma once

#include <QPainter>

namespace pictor {

// How a drawn image combines with what is below it. The values are the stable numbers that name
// an operation in processor identifiers.
enum class CompositingOperation {
    clear = 0,
    copy = 1,
    sourceOver = 2,
    sourceIn = 3,
    sourceOut = 4,
    sourceAtop = 5,
    destinationOver = 6,
    destinationIn = 7,
    destinationOut = 8,
    destinationAtop = 9,
    xorOperation = 10,
    plusLighter = 13,
    multiply = 14,
    screen = 15,
    overlay = 16,
    darken = 17,
    lighten = 18,
    colorDodge = 19,
    colorBurn = 20,
    softLight = 21,
    hardLight = 22,
    difference = 23,
    exclusion = 24,
};

QPainter::CompositionMode compositionMode(CompositingOperation operation);

} // namespace pictor
