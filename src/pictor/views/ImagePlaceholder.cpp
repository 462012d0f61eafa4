#include "pictor/views/ImagePlaceholder.h"

#include "pictor/views/ImageView.h"

namespace pictor {

void ImagePlaceholder::add(ImageView& view) { view.setImage(image_); }

void ImagePlaceholder::remove(ImageView& view) { view.setImage(std::nullopt); }

} // namespace pictor
