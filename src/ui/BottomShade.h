#pragma once

class QPainter;
class QRectF;

// The shade along the bottom 40% of a card, black from 0 to 0.7 downwards, so a title stays
// readable on any picture; category and playlist cards wear it.
class BottomShade {
public:
    static void paint(QPainter& painter, const QRectF& card);
};
