#pragma once

#include "pictor/core/Image.h"

#include <QColor>
#include <QImage>

#include <functional>
#include <optional>

namespace pictor {

// One colour transformation of a bitmap, applied to images through pt::apply.
class Filter {
public:
    using Transform = std::function<std::optional<QImage>(const QImage&)>;

    struct ColorElement {
        double brightness = 0.0;
        double contrast = 1.0;
        double saturation = 1.0;
        double inputEV = 0.0;
    };

    explicit Filter(Transform transform) : transform_(std::move(transform)) {}

    // The colour laid over the whole picture with its own alpha: opaque hides the picture.
    static Filter tint(const QColor& color);
    // Brightness (added), contrast (around mid grey), saturation (towards the luminance), then
    // exposure (2^EV in linear light). Neutral values still run both steps.
    static Filter colorControl(ColorElement element);

    std::optional<QImage> operator()(const QImage& input) const { return transform_(input); }

private:
    Transform transform_;
};

namespace pt {

// A new image of the filtered bitmap at the image's pixel size; the image itself when it has no
// bitmap or the filter gives nothing.
Image apply(const Image& image, const Filter& filter);
Image tinted(const Image& image, const QColor& color);
Image adjusted(const Image& image, double brightness, double contrast, double saturation, double inputEV);

} // namespace pt
} // namespace pictor
