#include "pictor/processing/ImageCoding.h"

#include "pictor/processing/GIFAnimatedImage.h"
#include "pictor/processing/GifFrameSource.h"
#include "pictor/processing/ImageDecoder.h"
#include "pictor/core/Saturating.h"

#include <QBuffer>
#include <QImageWriter>

#include <cmath>

namespace pictor {
namespace pt {

namespace {

// Opens GIF data as a frame source, checking its blocks and sizes before any frame is decoded:
// every frame of the canvas must fit the decoding cap, all of them together unless only the
// first is wanted. Each frame also costs its bookkeeping (its image's header, its record), counted
// as pixels, so a million frames of one pixel weigh what they take.
Result<std::shared_ptr<GifFrameSource>, QString> openGif(const QByteArray& data, const ImageCreatingOptions& options)
{
    using R = Result<std::shared_ptr<GifFrameSource>, QString>;
    GifStructure structure = GifStructure::read(data);
    if (!structure.failure.isEmpty())
        return R::failure(structure.failure);
    if (structure.delays.isEmpty())
        return R::failure(QStringLiteral("GIF data holds no frame"));
    if (const QString capped = ImageDecoder::capFailure(structure.canvas); !capped.isEmpty())
        return R::failure(capped);
    const int64_t frames = options.onlyFirstFrame ? 1 : structure.delays.size();
    constexpr int64_t frameOverheadPixels = 256;
    const int64_t canvas = saturatingMultiply(structure.canvas.width(), structure.canvas.height());
    if (saturatingMultiply(frames, canvas + frameOverheadPixels) > ImageDecoder::maxPixels)
        return R::failure(QStringLiteral("animation of %1 frames of %2 x %3 pixels is above the decoding cap of %4 pixels")
                              .arg(frames)
                              .arg(structure.canvas.width())
                              .arg(structure.canvas.height())
                              .arg(ImageDecoder::maxPixels));
    std::shared_ptr<GifFrameSource> source = GifFrameSource::open(data, std::move(structure));
    if (!source)
        return R::failure(QStringLiteral("GIF data could not be read"));
    return R::success(std::move(source));
}

std::optional<QByteArray> encode(const QImage& bitmap, const char* format, int quality)
{
    if (bitmap.isNull())
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(bitmap))
        return std::nullopt;
    return bytes;
}

} // namespace

std::optional<Image> image(const QByteArray& data, const ImageCreatingOptions& options)
{
    if (imageFormat(data) == ImageFormat::GIF)
        return animatedImage(data, options);
    Result<QImage, QString> decoded = ImageDecoder::decode(data);
    if (decoded.isFailure())
        return std::nullopt;
    return Image(std::move(decoded).value());
}

std::optional<Image> animatedImage(const QByteArray& data, const ImageCreatingOptions& options)
{
    auto source = openGif(data, options);
    if (source.isFailure())
        return std::nullopt;
    // The platform's still decoding of GIF data is its first frame, as a picture of its own.
    const QImage first = source.value()->frame(0);
    if (first.isNull())
        return std::nullopt;
    return animatedImage(source.value(), options, Image(first));
}

std::optional<Image> animatedImage(std::shared_ptr<ImageFrameSource> source, const ImageCreatingOptions& options,
                                   std::optional<Image> baseImage)
{
    std::optional<GIFAnimatedImage> animated = GIFAnimatedImage::make(*source, options);
    if (!animated || animated->images.isEmpty())
        return std::nullopt;
    std::optional<Image> result;
    if (options.onlyFirstFrame) {
        result = animated->images.first();
    } else {
        result = baseImage.value_or(animated->images.first());
        result->setAnimationFrames(animated->images);
        result->setAnimationDuration(animated->duration);
    }
    result->setAnimatedSourceData(source->data());
    result->setImageFrameCount(source->frameCount());
    result->setFrameSource(std::move(source));
    result->setCreatingOptions(options);
    return result;
}

QString decodingFailure(const QByteArray& data, const ImageCreatingOptions& options)
{
    if (imageFormat(data) == ImageFormat::GIF) {
        auto source = openGif(data, options);
        if (source.isFailure())
            return source.error();
        return animatedImage(data, options) ? QString() : QStringLiteral("a GIF frame could not be decoded");
    }
    Result<QImage, QString> decoded = ImageDecoder::decode(data);
    return decoded.isFailure() ? decoded.error() : QString();
}

std::optional<QByteArray> pngRepresentation(const Image& image)
{
    return encode(image.bitmap(), "png", -1);
}

std::optional<QByteArray> jpegRepresentation(const Image& image, double compressionQuality)
{
    const double quality = std::isfinite(compressionQuality) ? std::clamp(compressionQuality, 0.0, 1.0) : 1.0;
    return encode(image.bitmap(), "jpeg", int(std::lround(quality * 100)));
}

std::optional<QByteArray> gifRepresentation(const Image& image)
{
    return image.animatedSourceData();
}

std::optional<QByteArray> data(const Image& image, ImageFormat format, double compressionQuality)
{
    switch (format) {
    case ImageFormat::JPEG:
        return jpegRepresentation(image, compressionQuality);
    case ImageFormat::GIF:
        return gifRepresentation(image);
    default:
        return pngRepresentation(image);
    }
}

} // namespace pt
} // namespace pictor
