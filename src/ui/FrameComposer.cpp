#include "ui/FrameComposer.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
bool isOpaque32(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied;
}

// Where a picture goes: the image written into, where the picture lies there, and the part of
// it that may be written, all in the image's pixels.
struct Destination {
    QImage* image = nullptr;
    QRect rect;
    QRegion clip;
};

bool isWritable(const QImage& image)
{
    return isOpaque32(image.format()) && image.isDetached();
}

// Null when the painter is not a plain raster one (scaled, rotated, clipped by its user, another
// mode), when the picture would have to be scaled, or when the image is shared and writing would
// detach it.
Destination destinationFor(QPainter& painter, const QRectF& target, const QImage& picture)
{
    QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !isOpaque32(picture.format()))
        return {};
    QPaintDevice* device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return {};
    auto* image = static_cast<QImage*>(device);
    if (!isWritable(*image) || painter.hasClipping() || painter.opacity() != 1.0
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
bool compose(const Destination& to, const QImage& picture, Row row)
{
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

// x × a / 255 on each byte of x, two bytes at a time, rounded as the raster engine rounds, so
// both roads paint the same picture.
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

// `cover` (premultiplied) laid over the opaque `pixel`.
inline uint over(uint pixel, uint cover)
{
    return cover + byteMul(pixel | 0xff000000u, 255 - qAlpha(cover));
}

#if defined(__SSE2__)
// The same for four pixels at once, in 16-bit lanes: the pass is the whole cost of a frame at
// rest, so it must keep up with a plain copy.
inline __m128i over4(__m128i pixels, __m128i cover)
{
    const __m128i lowBytes = _mm_set1_epi16(0x00ff);
    const __m128i half = _mm_set1_epi16(0x0080);
    pixels = _mm_or_si128(pixels, _mm_set1_epi32(int(0xff000000u)));
    __m128i alpha = _mm_sub_epi32(_mm_set1_epi32(255), _mm_srli_epi32(cover, 24));
    alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 16));
    __m128i rb = _mm_mullo_epi16(_mm_and_si128(pixels, lowBytes), alpha);
    __m128i ag = _mm_mullo_epi16(_mm_srli_epi16(pixels, 8), alpha);
    rb = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(rb, _mm_srli_epi16(rb, 8)), half), 8);
    ag = _mm_andnot_si128(lowBytes, _mm_add_epi16(_mm_add_epi16(ag, _mm_srli_epi16(ag, 8)), half));
    return _mm_add_epi8(cover, _mm_or_si128(rb, ag));
}
#endif

// One row: `cover` advances with the pixels, or stays on one colour (`even`).
template <bool even>
void overRow(uint* out, const uint* in, const uint* cover, int count)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128i evenCover = _mm_set1_epi32(int(*cover));
    for (; i + 4 <= count; i += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i covers = even ? evenCover : _mm_loadu_si128(reinterpret_cast<const __m128i*>(cover + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), over4(pixels, covers));
    }
#endif
    for (; i < count; ++i)
        out[i] = over(in[i], even ? *cover : cover[i]);
}
} // namespace

namespace {
bool isOverlayOf(const QImage& overlay, const QImage& picture)
{
    return overlay.size() == picture.size() && overlay.format() == QImage::Format_ARGB32_Premultiplied;
}

auto overlayRows(const QImage& overlay)
{
    return [&overlay](uint* out, const uint* in, int x, int y, int count) {
        overRow<false>(out, in, reinterpret_cast<const uint*>(overlay.constScanLine(y)) + x, count);
    };
}
} // namespace

bool FrameComposer::drawOver(QPainter& painter, const QRectF& target, const QImage& picture, const QImage& overlay)
{
    if (!isOverlayOf(overlay, picture))
        return false;
    return compose(destinationFor(painter, target, picture), picture, overlayRows(overlay));
}

bool FrameComposer::drawVeiled(QPainter& painter, const QRectF& target, const QImage& picture, const QColor& veil)
{
    const uint cover = qPremultiply(veil.rgba());
    return compose(destinationFor(painter, target, picture), picture, [cover](uint* out, const uint* in, int, int, int count) {
        overRow<true>(out, in, &cover, count);
    });
}

bool FrameComposer::drawOver(QImage& target, const QRegion& region, const QPoint& at, const QImage& picture, const QImage& overlay)
{
    if (!isOverlayOf(overlay, picture) || !isOpaque32(picture.format()) || !isWritable(target))
        return false;
    const QRect rect(at, picture.size());
    return compose({&target, rect, region & rect & target.rect()}, picture, overlayRows(overlay));
}
