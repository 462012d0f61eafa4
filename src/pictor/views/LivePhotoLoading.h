#pragma once

#include "pictor/retrieval/LivePhotoSource.h"
#include "pictor/core/PictorError.h"
#include "pictor/retrieval/PictorOptionsInfoItem.h"
#include "pictor/core/Result.h"
#include "pictor/retrieval/RetrieveLivePhotoResult.h"

#include <QList>

#include <functional>
#include <optional>
#include <stop_token>

namespace pictor {

class LivePhotoView;

// Loads a live photo into its view through the shared manager: fetches the missing files into
// the disk cache, assembles the still and the movie off the GUI thread and shows the result on
// the GUI thread, only while the view still waits for this load (the latest wins). Every load
// ends with exactly one completion, on the GUI thread: the result; emptySource at once for no
// source; notCurrentLivePhotoSourceTask when overtaken or the view is gone; livePhotoTaskCancelled
// when stopped; the retrieval's error; or livePhotoResultError when no still could be made.
class LivePhotoLoading {
public:
    using Completion = std::function<void(Result<RetrieveLivePhotoResult, PictorError>)>;

    // Stopping the returned source cancels the load; none without a source.
    static std::optional<std::stop_source> setLivePhoto(LivePhotoView* view, const std::optional<LivePhotoSource>& source,
                                                        const std::optional<QList<PictorOptionsInfoItem>>& options = std::nullopt,
                                                        Completion completion = {});
};

} // namespace pictor
