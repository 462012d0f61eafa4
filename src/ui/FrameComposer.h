#pragma once

#include <QColor>

class QImage;
class QPainter;
class QPoint;
class QRectF;
class QRegion;

// Lays an opaque picture (a video frame, a frozen slide) and what covers it (a premultiplied
// overlay of the same size, or an even veil of one colour) into a raster painter's image in one
// pass: each pixel is read once and written once, where copying the picture and blending the
// cover over it would read and write the target twice. Only for a picture that needs no scaling
// and a painter that draws straight into a 32-bit image; otherwise it draws nothing and says
// so, and the caller paints the usual way. GUI thread (or any thread that owns the painter).
class FrameComposer {
public:
    // `picture` (opaque, RGB32 or ARGB32_Premultiplied) at `target` with `overlay` (premultiplied
    // ARGB, the picture's size) over it.
    static bool drawOver(QPainter& painter, const QRectF& target, const QImage& picture, const QImage& overlay);
    // `picture` at `target` under `veil` (drawn with its alpha).
    static bool drawVeiled(QPainter& painter, const QRectF& target, const QImage& picture, const QColor& veil);
    // The same as drawOver straight into `target` (opaque, 32-bit, not shared), with no painter:
    // `picture` laid with its top left at `at`, only within `region`; both in `target`'s pixels.
    static bool drawOver(QImage& target, const QRegion& region, const QPoint& at, const QImage& picture, const QImage& overlay);
};
