#include "ui/FrameComposer.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>

namespace {
bool isOpaque32(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied;
}

// The image the painter writes into and where `target` lies there, in its pixels; null when the
// painter is not a plain raster one (scaled, rotated, clipped by its user, another mode), when
// the picture would have to be scaled, or when the image is shared and writing would detach it.
struct Destination {
    QImage* image = nullptr;
    QRect rect;
    QRegion clip;
};

Destination destinationFor(QPainter& painter, const QRectF& target, const QImage& picture)
{
    QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !isOpaque32(picture.format()))
        return {};
    QPaintDevice* device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return {};
    auto* image = static_cast<QImage*>(device);
    if (!isOpaque32(image->format()) || !image->isDetached() || painter.hasClipping() || painter.opacity() != 1.0
        || painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return {};
    const QTransform transform = painter.deviceTransform();
    if (transform.type() > QTransform::TxScale || transform.m11() != transform.m22())
        return {};
    const QRect rect = transform.mapRect(target).toRect();
    if (rect.size() != picture.size() || transform.mapRect(target) != QRectF(rect))
        return {};
    QRegion clip = engine->systemClip();
    clip = clip.isEmpty() ? QRegion(image->rect()) : clip & image->rect();
    return {image, rect, clip & rect};
}

// Runs `row(out, in, x, y, count)` over every piece of the clip: out and in are the pixels of
// row y of the destination and of the picture, from the picture's column x on.
template <class Row>
bool compose(QPainter& painter, const QRectF& target, const QImage& picture, Row row)
{
    const Destination to = destinationFor(painter, target, picture);
    if (!to.image)
        return false;
    for (const QRect& piece : to.clip) {
        for (int y = piece.top(); y <= piece.bottom(); ++y) {
            const int pictureY = y - to.rect.top();
            const int pictureX = piece.left() - to.rect.left();
            auto* out = reinterpret_cast<uint*>(to.image->scanLine(y)) + piece.left();
            const auto* in = reinterpret_cast<const uint*>(picture.constScanLine(pictureY)) + pictureX;
            row(out, in, pictureX, pictureY, piece.width());
        }
    }
    return true;
}

// x × a / 255 on each byte of x, two bytes at a time, rounded as the raster engine rounds.
inline uint byteMul(uint x, uint a)
{
    uint t = (x & 0xff00ff) * a;
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = x + ((x >> 8) & 0xff00ff) + 0x800080;
    x &= 0xff00ff00;
    return x | t;
}
} // namespace

uint FrameComposer::over(uint pixel, uint cover)
{
    return cover + byteMul(pixel | 0xff000000u, 255 - qAlpha(cover));
}

bool FrameComposer::drawOver(QPainter& painter, const QRectF& target, const QImage& picture, const QImage& overlay)
{
    if (overlay.size() != picture.size() || overlay.format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    return compose(painter, target, picture, [&overlay](uint* out, const uint* in, int x, int y, int count) {
        const auto* cover = reinterpret_cast<const uint*>(overlay.constScanLine(y)) + x;
        for (int i = 0; i < count; ++i)
            out[i] = over(in[i], cover[i]);
    });
}

bool FrameComposer::drawVeiled(QPainter& painter, const QRectF& target, const QImage& picture, const QColor& veil)
{
    const uint cover = qPremultiply(veil.rgba());
    return compose(painter, target, picture, [cover](uint* out, const uint* in, int, int, int count) {
        for (int i = 0; i < count; ++i)
            out[i] = over(in[i], cover);
    });
}
