#pragma once

#include <QImage>

class QPainter;
class QRectF;

// Paints a picture filling a rectangle, cropped to keep its aspect ratio, and keeps the scaled
// copy of the last frame it filled: a scroll or an animation repaints many times, and scaling a
// poster each time would cost more than the rest of the frame.
class CoverPicture {
public:
    // False, painting nothing, for a null picture or an empty target.
    bool paint(QPainter& painter, const QRectF& target, const QImage& picture) const;

private:
    mutable QImage scaled_;
    mutable qint64 scaledFrom_ = 0;
};
