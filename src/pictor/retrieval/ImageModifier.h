#pragma once

#include "pictor/core/Image.h"

namespace pictor {

// Changes a finished image just before it is shown; never fails.
class ImageModifier {
public:
    virtual ~ImageModifier() = default;
    virtual Image modify(const Image& image) const = 0;
};

} // namespace pictor
