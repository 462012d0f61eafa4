#include "pictor/processing/GIFAnimatedImage.h"

#include <limits>

namespace pictor {

std::optional<GIFAnimatedImage> GIFAnimatedImage::make(const ImageFrameSource& source, const ImageCreatingOptions& options)
{
    GIFAnimatedImage animated;
    const int count = source.frameCount();
    for (int i = 0; i < count; ++i) {
        QImage frame = source.frame(i);
        if (frame.isNull())
            return std::nullopt;
        if (count == 1)
            animated.duration = std::numeric_limits<double>::infinity();
        else
            animated.duration += source.duration(i);
        animated.images.append(Image(std::move(frame)));
        if (options.onlyFirstFrame)
            break;
    }
    return animated;
}

} // namespace pictor
