#pragma once

#include "pictor/core/Image.h"
#include "pictor/processing/ImageCreatingOptions.h"
#include "pictor/processing/ImageFormat.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace pictor {
namespace pt {

// An image from encoded data: GIF data as an animated image (below), anything else Qt reads as a
// still image, the options playing no part. Absent when the data cannot be decoded.
std::optional<Image> image(const QByteArray& data, const ImageCreatingOptions& options);

// GIF data as an image that carries its frames, frame source, source bytes and options.
std::optional<Image> animatedImage(const QByteArray& data, const ImageCreatingOptions& options);
// The same from a frame source: the result is the base image when given, else the first frame.
// With onlyFirstFrame it is the first frame, without the frame list.
std::optional<Image> animatedImage(std::shared_ptr<ImageFrameSource> source, const ImageCreatingOptions& options,
                                   std::optional<Image> baseImage);

// Why image(data, options) gives nothing for this data, as one sentence; empty when it decodes.
QString decodingFailure(const QByteArray& data, const ImageCreatingOptions& options);

std::optional<QByteArray> pngRepresentation(const Image& image);
// Quality 0 to 1, 1 the least compression.
std::optional<QByteArray> jpegRepresentation(const Image& image, double compressionQuality);
// The bytes an animated image was made from; absent for every other image (nothing is encoded).
std::optional<QByteArray> gifRepresentation(const Image& image);
// JPEG with the quality, GIF as its source bytes, every other format as PNG.
std::optional<QByteArray> data(const Image& image, ImageFormat format, double compressionQuality);

} // namespace pt
} // namespace pictor
