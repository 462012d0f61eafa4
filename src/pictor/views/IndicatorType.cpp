#include "pictor/views/IndicatorType.h"

#include "pictor/views/ActivityIndicator.h"
#include "pictor/views/ImageIndicator.h"

namespace pictor {

std::shared_ptr<Indicator> IndicatorType::make() const
{
    switch (kind) {
    case Kind::image:
        return ImageIndicator::create(imageData);
    case Kind::custom:
        return indicator;
    case Kind::activity:
        return std::make_shared<ActivityIndicator>();
    case Kind::none:
        break;
    }
    return nullptr;
}

} // namespace pictor
