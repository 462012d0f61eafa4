#include "pictor/IndicatorType.h"

#include "pictor/ActivityIndicator.h"
#include "pictor/ImageIndicator.h"

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
