#pragma once

#include "pictor/views/ImageView.h"
#include "pictor/retrieval/LivePhoto.h"

#include <QPointer>

#include <functional>
#include <optional>

namespace pictor {

// Shows a live photo: its still image, and on request its movie, played in a video view that the
// application supplies (the image library plays no video itself), laid over the still until it
// is stopped. Loading into it is LivePhotoLoading. GUI thread.
class LivePhotoView : public ImageView {
    Q_OBJECT
public:
    // Makes the widget that plays the movie file, as a child of the given parent.
    using MovieViewFactory = std::function<QWidget*(const QUrl& movieFile, QWidget* parent)>;

    explicit LivePhotoView(QWidget* parent = nullptr) : ImageView(parent) {}

    const std::optional<LivePhoto>& livePhoto() const { return livePhoto_; }
    // Shows the still; a movie that was playing stops.
    void setLivePhoto(std::optional<LivePhoto> photo);
    void setMovieViewFactory(MovieViewFactory factory) { movieViewFactory_ = std::move(factory); }

    // False when there is no movie or no way to play it.
    bool playMovie();
    void stopMovie();
    bool isPlayingMovie() const { return bool(movieView_); }

private:
    std::optional<LivePhoto> livePhoto_;
    MovieViewFactory movieViewFactory_;
    QPointer<QWidget> movieView_;
};

} // namespace pictor
