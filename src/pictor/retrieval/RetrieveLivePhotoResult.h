#pragma once

#include "pictor/retrieval/LivePhoto.h"
#include "pictor/retrieval/LivePhotoLoadingInfoResult.h"

#include <optional>

namespace pictor {

// A loaded live photo: where its files came from, and the photo assembled from them.
struct RetrieveLivePhotoResult {
    LivePhotoLoadingInfoResult loadingInfo;
    std::optional<LivePhoto> livePhoto;
};

} // namespace pictor
