#pragma once

#include "pictor/retrieval/ImageModifier.h"

#include <functional>
#include <optional>

namespace pictor {

// An image modifier made from a closure; a closure that fails (answers nothing or throws) leaves
// the image as it was.
class AnyImageModifier : public ImageModifier {
public:
    using Block = std::function<std::optional<Image>(const Image&)>;
    explicit AnyImageModifier(Block block) : block_(std::move(block)) {}

    Image modify(const Image& image) const override
    {
        try {
            return block_(image).value_or(image);
        } catch (...) {
            return image;
        }
    }

private:
    Block block_;
};

} // namespace pictor
