#pragma once

#include <QImage>

class QPainter;
class QRectF;

// Paints a picture filling a rectangle, cropped to keep its aspect ratio, and keeps the scaled
// copy of the last frame it filled: a scroll or an animation repaints many times, and scaling a
// poster each time would cost more than the rest of the frame. The copy can stand in for the
// picture while its owner lets the full one go.
class CoverPicture {
public:
    // False, painting nothing, for a null picture or an empty target.
    bool paint(QPainter& painter, const QRectF& target, const QImage& picture) const;
    // Paints the kept copy into `target`; false, painting nothing, when there is none.
    bool paintKept(QPainter& painter, const QRectF& target) const;
    bool hasKept() const { return !scaled_.isNull(); }
    // Forgets the kept copy, for a picture that is not the one it was made from.
    void clear();

private:
    mutable QImage scaled_;
    mutable qint64 scaledFrom_ = 0;
};
