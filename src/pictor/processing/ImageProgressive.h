#pragma once

#include "pictor/core/Delegate.h"
#include "pictor/core/Image.h"

#include <memory>
#include <optional>

namespace pictor {

// How a view shows a progressive JPEG while it arrives: early scans blurred, only the newest
// complete scans decoded per update, updates at least scanInterval seconds apart; a view asks
// onImageUpdated what to do with each intermediate image.
struct ImageProgressive {
    struct UpdatingStrategy {
        enum class Kind { replace, useDefault, keepCurrent };
        Kind kind = Kind::useDefault;
        std::optional<Image> image;
    };

    bool isBlur = true;
    bool isFastestScan = true;
    double scanInterval = 0;
    std::shared_ptr<Delegate<UpdatingStrategy(Image)>> onImageUpdated = std::make_shared<Delegate<UpdatingStrategy(Image)>>();
};

} // namespace pictor
