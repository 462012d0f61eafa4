#pragma once

#include "pictor/views/Placeholder.h"

namespace pictor {

// An image shown as the view's image while the real one loads.
class ImagePlaceholder : public Placeholder {
public:
    explicit ImagePlaceholder(Image image) : image_(std::move(image)) {}

    void add(ImageView& view) override;
    void remove(ImageView& view) override;
    std::optional<Image> image() const override { return image_; }

private:
    Image image_;
};

} // namespace pictor
