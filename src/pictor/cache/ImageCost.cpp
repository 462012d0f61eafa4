#include "pictor/cache/ImageCost.h"

#include "pictor/core/Saturating.h"

#include <cmath>

namespace pictor {

int64_t cacheCost(const Image& image)
{
    const QSizeF size = image.pixelSize();
    const double pixels = std::trunc(size.width() * size.height());
    if (std::isnan(pixels) || pixels <= 0)
        return 0;
    const int64_t count = pixels >= 9.2e18 ? std::numeric_limits<int64_t>::max() : int64_t(pixels);
    if (!image.hasBitmap())
        return saturatingMultiply(count, 4);
    int64_t cost = saturatingMultiply(count, image.bitmap().depth() / 8);
    if (const auto frames = image.animationFrames())
        cost = saturatingMultiply(cost, frames->size());
    return cost;
}

} // namespace pictor
