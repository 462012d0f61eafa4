#include "pictor/processing/ImageProcessor.h"

#include "pictor/processing/GeneralProcessor.h"
#include "pictor/processing/ImageCoding.h"

namespace pictor {

ImageProcessorPtr append(ImageProcessorPtr first, ImageProcessorPtr second)
{
    QString identifier = first->identifier() + "|>" + second->identifier();
    return std::make_shared<GeneralProcessor>(
        std::move(identifier),
        [first, second](const ImageProcessItem& item, const PictorParsedOptionsInfo& options) -> std::optional<Image> {
            std::optional<Image> image = first->process(item, options);
            if (!image)
                return std::nullopt;
            return second->process(ImageProcessItem::image(*image), options);
        });
}

Result<Image, PictorError> process(const ImageProcessor& processor, const ImageProcessItem& item, const PictorParsedOptionsInfo& options)
{
    if (std::optional<Image> image = processor.process(item, options))
        return Result<Image, PictorError>::success(*image);
    QString itemText = item.description();
    if (const QByteArray* data = item.asData()) {
        const QString why = pt::decodingFailure(*data, ImageCreatingOptions {.onlyFirstFrame = options.onlyLoadFirstFrame});
        if (!why.isEmpty())
            itemText += ": " + why;
    }
    const QString name = processor.identifier().isEmpty() ? QStringLiteral("DefaultImageProcessor") : processor.identifier();
    return Result<Image, PictorError>::failure(PictorError::processingFailed(name, itemText));
}

} // namespace pictor
