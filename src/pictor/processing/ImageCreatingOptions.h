#pragma once

namespace pictor {

// How an image is made from data. scale, duration and preloadAll travel with the image for its
// consumers; only onlyFirstFrame changes the decoding.
struct ImageCreatingOptions {
    double scale = 1.0;
    double duration = 0.0;
    bool preloadAll = false;
    bool onlyFirstFrame = false;

    bool operator==(const ImageCreatingOptions&) const = default;
};

} // namespace pictor
