#pragma once

#include <QUrl>
#include <QWidget>

#include <optional>

class LoopingVideo;
class VideoCacheService;
class VideoPlayerPool;

// The background of a page's hero: a silent looping video (played from the preview-video cache
// once it holds the file, fetched there on first showing) or, without a usable address, a
// purple-to-blue gradient; darkened towards its edges and fading into the page's background at
// its bottom. Painted by this one widget; children placed on it (titles, buttons) sit on top.
class HeroBackdrop : public QWidget {
    Q_OBJECT

public:
    explicit HeroBackdrop(QWidget* parent = nullptr);
    ~HeroBackdrop() override;

    // The address as the platform statistics give it; none, or text that is no URL, shows the
    // gradient.
    void setVideoAddress(const std::optional<QString>& address);
    const std::optional<QUrl>& remoteVideo() const { return remote_; }
    // What the player is given: the cached file when it exists, else the remote address.
    QUrl playedUrl() const;
    bool isVideoReady() const;
    // The page covering the hero (a wallpaper open full screen) stops the video.
    void setVideoPlaying(bool playing);
    // The page's pull-down past its top: the background grows from its top edge; children stay.
    void setPull(double pull);
    double pull() const { return pull_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // The first showing starts the video and, while the cache lacks it, its download.
    void showEvent(QShowEvent* event) override;

private:
    void startVideo();
    // The cache was emptied: a player of the stored file would open a missing file.
    void forgetStoredFile();

    VideoCacheService& cache_;
    // The hero's own player lease: the previews of a grid below never take it away.
    VideoPlayerPool* players_;
    LoopingVideo* video_;
    std::optional<QUrl> remote_;
    bool playing_ = false;
    double pull_ = 0;
};
