#include "pictor/processing/ImageDrawing.h"

#include "pictor/processing/BoxBlur.h"
#include "pictor/processing/ImageDecoder.h"
#include "pictor/core/Saturating.h"
#include "pictor/processing/SizeGeometry.h"

#include <QPainter>

#include <cmath>

namespace pictor {
namespace pt {

namespace {

QImage::Format renderFormat(const QImage& source)
{
    return source.depth() > 32 ? QImage::Format_RGBA64_Premultiplied : QImage::Format_ARGB32_Premultiplied;
}

// The whole-pixel size of a drawing target: each side floored but at least 1. Absent when the
// size cannot be drawn or would exceed the decoding cap.
std::optional<QSize> pixelTarget(QSizeF size)
{
    if (!isDrawableSize(size))
        return std::nullopt;
    const QSize target(std::max(1, clampToInt(std::floor(size.width()))), std::max(1, clampToInt(std::floor(size.height()))));
    if (saturatingMultiply(target.width(), target.height()) > ImageDecoder::maxPixels)
        return std::nullopt;
    return target;
}

// Draws into a fresh transparent bitmap of the given size with smooth scaling and antialiasing.
template <typename Drawing>
Image render(const Image& image, QSizeF size, Drawing drawing)
{
    if (!image.hasBitmap())
        return image;
    const std::optional<QSize> target = pixelTarget(size);
    if (!target)
        return image;
    QImage canvas(*target, renderFormat(image.bitmap()));
    if (canvas.isNull())
        return image;
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        drawing(painter, QRectF(QPointF(0, 0), QSizeF(*target)));
    }
    return Image(std::move(canvas));
}

// The bitmap scaled to exactly the given pixel size (the same bitmap when it already is).
QImage scaledBitmap(const QImage& bitmap, QSize size)
{
    return bitmap.size() == size ? bitmap : bitmap.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

Image resize(const Image& image, QSizeF size)
{
    const std::optional<QSize> target = pixelTarget(size);
    if (!image.hasBitmap() || !target)
        return image;
    return Image(image.bitmap().scaled(*target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

Image resize(const Image& image, QSizeF size, ContentMode mode)
{
    if (!isDrawableSize(size))
        return image;
    return resize(image, pt::resize(image.pixelSize(), size, mode));
}

Image crop(const Image& image, QSizeF size, QPointF anchor)
{
    if (!image.hasBitmap() || !isDrawableSize(size) || !std::isfinite(anchor.x()) || !std::isfinite(anchor.y()))
        return image;
    const QRectF rect = constrainedRect(image.pixelSize(), size, anchor);
    if (rect.isNull())
        return image;
    const QImage cut = image.bitmap().copy(rect.toAlignedRect());
    return cut.isNull() ? image : Image(cut);
}

Image roundCorners(const Image& image, Radius radius, QSizeF fit, RectCorners corners, std::optional<QColor> background)
{
    return render(image, fit, [&](QPainter& painter, const QRectF& rect) {
        if (background)
            painter.fillRect(rect, *background);
        // An antialiased fill with the picture as its brush: a clip path would leave jagged corners.
        painter.setPen(Qt::NoPen);
        painter.setBrush(QBrush(scaledBitmap(image.bitmap(), rect.size().toSize())));
        painter.drawPath(roundedRectPath(rect, corners, radius.resolved(rect.size())));
    });
}

Image compositing(const Image& image, CompositingOperation operation, double alpha, std::optional<QColor> background)
{
    return render(image, image.pixelSize(), [&](QPainter& painter, const QRectF& rect) {
        if (background)
            painter.fillRect(rect, *background);
        painter.setCompositionMode(compositionMode(operation));
        painter.setOpacity(std::clamp(alpha, 0.0, 1.0));
        painter.drawImage(rect, image.bitmap());
    });
}

Image addingBorder(const Image& image, const Border& border)
{
    return render(image, image.pixelSize(), [&](QPainter& painter, const QRectF& rect) {
        painter.drawImage(rect, image.bitmap());
        const double half = border.lineWidth / 2;
        const QRectF inset = rect.adjusted(half, half, -half, -half);
        QPen pen(border.color, border.lineWidth);
        pen.setCapStyle(Qt::SquareCap);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(roundedRectPath(inset, border.roundingCorners, border.radius.resolved(inset.size()) - half));
    });
}

Image overlaying(const Image& image, const QColor& color, double fraction)
{
    return render(image, image.pixelSize(), [&](QPainter& painter, const QRectF& rect) {
        painter.drawImage(rect, image.bitmap());
        if (fraction > 0) {
            QColor over = color;
            over.setAlphaF(float(std::clamp(1.0 - fraction, 0.0, 1.0)));
            painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
            painter.fillRect(rect, over);
        }
    });
}

Image blurred(const Image& image, double radius)
{
    if (!image.hasBitmap() || std::isnan(radius))
        return image;
    QImage bitmap = image.bitmap().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (bitmap.isNull())
        return image;
    BoxBlur::apply(bitmap, BoxBlur::boxSize(radius), BoxBlur::passes(radius));
    return Image(std::move(bitmap));
}

Image scaled(const Image& image, double scale)
{
    if (scale == 1.0 || !std::isfinite(scale) || scale <= 0 || !image.hasBitmap())
        return image;
    return Image(image.bitmap());
}

Image decoded(const Image& image, double scale)
{
    if (image.animationFrames() || !std::isfinite(scale) || scale <= 0)
        return image;
    const QSizeF size = QSizeF(image.bitmap().size()) / scale;
    return render(image, size, [&](QPainter& painter, const QRectF& rect) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(rect, image.bitmap());
    });
}

Image decoded(const Image& image, QImage& canvas)
{
    if (image.frameSource() || !image.hasBitmap() || canvas.isNull())
        return image;
    {
        QPainter painter(&canvas);
        painter.drawImage(QPointF(0, 0), image.bitmap());
    }
    return Image(canvas);
}

std::optional<Image> downsampledImage(const QByteArray& data, QSizeF size, double scale)
{
    const double side = std::max(size.width(), size.height()) * scale;
    const int maxSide = std::isfinite(side) && side >= 1 ? clampToInt(side) : 0;
    Result<QImage, QString> decoded = ImageDecoder::decode(data, maxSide);
    if (decoded.isFailure())
        return std::nullopt;
    return Image(std::move(decoded).value());
}

} // namespace pt
} // namespace pictor
