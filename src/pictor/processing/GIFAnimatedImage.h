#pragma once

#include "pictor/core/Image.h"
#include "pictor/processing/ImageCreatingOptions.h"
#include "pictor/core/ImageFrameSource.h"

#include <QList>

#include <optional>

namespace pictor {

// Every frame of an animation decoded at full size, with the animation's total duration: the sum
// of the frame delays, or infinity for a single frame (a still image never advances).
struct GIFAnimatedImage {
    QList<Image> images;
    double duration = 0.0;

    // Absent when a frame cannot be decoded. With onlyFirstFrame only frame 0 is decoded.
    static std::optional<GIFAnimatedImage> make(const ImageFrameSource& source, const ImageCreatingOptions& options);
};

} // namespace pictor
