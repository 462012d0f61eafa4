#include "pictor/processing/DownsamplingImageProcessor.h"

#include "pictor/processing/ImageCoding.h"
#include "pictor/processing/ImageDrawing.h"
#include "pictor/views/TextForms.h"

namespace pictor {

DownsamplingImageProcessor::DownsamplingImageProcessor(QSizeF size)
    : size_(size), identifier_("com.quillmoth.Pictor.DownsamplingImageProcessor(" + TextForms::size(size) + ")")
{
}

std::optional<Image> DownsamplingImageProcessor::process(const ImageProcessItem& item, const PictorParsedOptionsInfo& options) const
{
    if (const QByteArray* data = item.asData())
        return pt::downsampledImage(*data, size_, options.scaleFactor);
    const std::optional<QByteArray> encoded = pt::data(*item.asImage(), ImageFormat::unknown, 1.0);
    if (!encoded)
        return std::nullopt;
    return pt::downsampledImage(*encoded, size_, options.scaleFactor);
}

} // namespace pictor
