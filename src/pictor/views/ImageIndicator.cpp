#include "pictor/views/ImageIndicator.h"

#include "pictor/views/AnimatedImageView.h"
#include "pictor/processing/ImageCoding.h"

namespace pictor {

std::shared_ptr<ImageIndicator> ImageIndicator::create(const QByteArray& data, const std::optional<PictorParsedOptionsInfo>& options)
{
    const PictorParsedOptionsInfo parsed = options.value_or(PictorParsedOptionsInfo());
    // The indicator is all animation: every frame is decoded, whatever the options said.
    const std::optional<Image> image = pt::image(data, ImageCreatingOptions {.scale = parsed.scaleFactor,
                                                                             .duration = 0.0,
                                                                             .preloadAll = true,
                                                                             .onlyFirstFrame = parsed.onlyLoadFirstFrame});
    if (!image)
        return nullptr;
    auto* view = new AnimatedImageView;
    view->setImage(*image);
    view->setImageScaling(ImageView::Scaling::none);
    view->hide();
    return std::shared_ptr<ImageIndicator>(new ImageIndicator(view));
}

ImageIndicator::~ImageIndicator() { delete view_; }

QWidget* ImageIndicator::view() const { return view_; }

void ImageIndicator::startAnimatingView()
{
    if (!view_)
        return;
    view_->startAnimating();
    view_->show();
}

void ImageIndicator::stopAnimatingView()
{
    if (!view_)
        return;
    view_->stopAnimating();
    view_->hide();
}

} // namespace pictor
