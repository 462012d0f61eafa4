#pragma once

#include "pictor/processing/Border.h"
#include "pictor/processing/CompositingOperation.h"
#include "pictor/processing/ContentMode.h"
#include "pictor/core/Image.h"
#include "pictor/processing/Radius.h"
#include "pictor/processing/RectCorner.h"

#include <QByteArray>
#include <QColor>
#include <QPointF>
#include <QSizeF>

#include <optional>

namespace pictor {
namespace pt {

// Drawing operations. None changes the image it is given: each returns a new image whose point
// size is its pixel size, or the given image itself where it cannot work (no bitmap; a size or
// scale that is zero, negative or not finite; a result beyond the decoding cap).

Image resize(const Image& image, QSizeF size);
Image resize(const Image& image, QSizeF size, ContentMode mode);
Image crop(const Image& image, QSizeF size, QPointF anchor);
// The image drawn into the fit size, clipped to a rectangle with the corners rounded; the cut-off
// corners show the background colour, or are transparent without one.
Image roundCorners(const Image& image, Radius radius, QSizeF fit, RectCorners corners = RectCorner::all,
                   std::optional<QColor> background = std::nullopt);
Image compositing(const Image& image, CompositingOperation operation, double alpha, std::optional<QColor> background);
Image addingBorder(const Image& image, const Border& border);
// The colour laid over the image's opaque parts with alpha 1 - fraction; fraction 0 or less lays none.
Image overlaying(const Image& image, const QColor& color, double fraction);
Image blurred(const Image& image, double radius);
// A new image of the same bitmap whose point size is its pixel size; scale 1 gives the image itself.
Image scaled(const Image& image, double scale);
// The bitmap drawn once into a display-ready premultiplied bitmap of its size divided by the scale.
// An animated image is returned as it is.
Image decoded(const Image& image, double scale = 1.0);
// The bitmap drawn into the canvas at its origin; the result is the whole canvas. An image with
// a frame source is returned as it is.
Image decoded(const Image& image, QImage& canvas);
inline Image normalized(const Image& image) { return image; }

// Encoded data decoded straight to at most max(size) x scale pixels on its longer side (JPEG is
// scaled inside the decoder), without decoding at full size first. An invalid size or scale
// decodes at full size. Absent when the data cannot be decoded.
std::optional<Image> downsampledImage(const QByteArray& data, QSizeF size, double scale);

} // namespace pt
} // namespace pictor
