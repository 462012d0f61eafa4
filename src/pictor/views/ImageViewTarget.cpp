#include "pictor/views/ImageViewTarget.h"

namespace pictor {

void ImageViewTarget::setImage(const std::optional<Image>& image, const PictorParsedOptionsInfo&)
{
    if (view_)
        view_->setImage(image);
}

std::optional<Image> ImageViewTarget::image() const { return view_ ? view_->image() : std::nullopt; }

void ImageViewTarget::showPlaceholder(const std::shared_ptr<Placeholder>& placeholder, bool keepCurrent, const PictorParsedOptionsInfo&)
{
    if (!view_)
        return;
    // Keeping needs something to keep: an empty view still shows the placeholder.
    if (keepCurrent && (view_->image() || view_->placeholder()))
        return;
    view_->setPlaceholder(placeholder);
}

void ImageViewTarget::willApplyResult()
{
    if (view_)
        view_->setPlaceholder(nullptr);
}

std::shared_ptr<Indicator> ImageViewTarget::indicator() const { return view_ ? view_->indicator() : nullptr; }

bool ImageViewTarget::shouldPreloadAllAnimation() const { return view_ && view_->shouldPreloadAllAnimation(); }

} // namespace pictor
