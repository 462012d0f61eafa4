#include "pictor/views/LivePhotoView.h"

namespace pictor {

void LivePhotoView::setLivePhoto(std::optional<LivePhoto> photo)
{
    stopMovie();
    livePhoto_ = std::move(photo);
    setImage(livePhoto_ ? std::optional(livePhoto_->still) : std::nullopt);
}

bool LivePhotoView::playMovie()
{
    if (!livePhoto_ || !livePhoto_->movieFile || !movieViewFactory_)
        return false;
    stopMovie();
    movieView_ = movieViewFactory_(*livePhoto_->movieFile, this);
    if (!movieView_)
        return false;
    addFillingChild(movieView_);
    movieView_->raise();
    movieView_->show();
    return true;
}

void LivePhotoView::stopMovie() { delete movieView_; }

} // namespace pictor
