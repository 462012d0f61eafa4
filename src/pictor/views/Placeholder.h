#pragma once

#include "pictor/core/Image.h"

#include <optional>

namespace pictor {

class ImageView;

// Something an image view shows while its image loads: an image, or a widget laid over the view.
class Placeholder {
public:
    virtual ~Placeholder() = default;

    virtual void add(ImageView& view) = 0;
    virtual void remove(ImageView& view) = 0;
    // The image of an image placeholder; targets that show only images ignore other placeholders.
    virtual std::optional<Image> image() const { return std::nullopt; }
};

} // namespace pictor
