#pragma once

#include "pictor/LivePhoto.h"
#include "pictor/LivePhotoLoadingInfoResult.h"

#include <optional>

namespace pictor {

// A loaded live photo: where its files came from, and the photo assembled from them.
struct RetrieveLivePhotoResult {
    LivePhotoLoadingInfoResult loadingInfo;
    std::optional<LivePhoto> livePhoto;
};

} // namespace pictor
