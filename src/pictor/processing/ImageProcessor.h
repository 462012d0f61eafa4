#pragma once

#include "pictor/core/Image.h"
#include "pictor/processing/ImageProcessItem.h"
#include "pictor/core/PictorError.h"
#include "pictor/retrieval/PictorParsedOptionsInfo.h"
#include "pictor/core/Result.h"

#include <QString>

#include <memory>
#include <optional>

namespace pictor {

class ImageProcessor;
using ImageProcessorPtr = std::shared_ptr<const ImageProcessor>;

// Turns downloaded data or a decoded image into the image a caller gets. The identifier names the
// processing and all its parameters; it extends cache keys and names cache files, so it is the
// same text in every run and on every machine. Processors are immutable and run on any thread.
class ImageProcessor {
public:
    virtual ~ImageProcessor() = default;

    virtual QString identifier() const = 0;
    // Nothing when processing fails; callers report that as processingFailed.
    virtual std::optional<Image> process(const ImageProcessItem& item, const PictorParsedOptionsInfo& options) const = 0;
};

// A processor that runs first, then second on first's image; named "first|>second".
ImageProcessorPtr append(ImageProcessorPtr first, ImageProcessorPtr second);

// Runs the processor and turns a missing image into processingFailed, naming the processor and
// the item; for data the item's text also says why it could not be decoded.
Result<Image, PictorError> process(const ImageProcessor& processor, const ImageProcessItem& item,
                                   const PictorParsedOptionsInfo& options);

} // namespace pictor
