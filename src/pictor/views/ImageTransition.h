#pragma once

#include <optional>

namespace pictor {

// How a loaded image appears: at once, or fading in over a duration in seconds.
struct ImageTransition {
    std::optional<double> fadeDuration;

    static ImageTransition none() { return {}; }
    static ImageTransition fade(double seconds) { return {seconds}; }
    bool isFade() const { return fadeDuration.has_value(); }
    bool operator==(const ImageTransition&) const = default;
};

} // namespace pictor
