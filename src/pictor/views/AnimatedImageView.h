#pragma once

#include "pictor/views/Animator.h"
#include "pictor/views/DisplayLink.h"
#include "pictor/views/ImageView.h"
#include "pictor/core/RepeatCount.h"

namespace pictor {

// An image view that plays animated images frame by frame on a display link, keeping only a
// window of decoded frames (every frame when the whole animation fits in 64 MiB, so a loop
// decodes nothing again; never more than the decoding cap's pixels). It plays while shown and pauses while hidden when autoplay is on; a
// paused view runs no timer. GUI thread.
class AnimatedImageView : public ImageView {
    Q_OBJECT
public:
    explicit AnimatedImageView(QWidget* parent = nullptr);
    ~AnimatedImageView() override;

    // A different image (not the same object) makes a new animator.
    void setImage(std::optional<Image> image) override;
    bool shouldPreloadAllAnimation() const override { return false; }

    bool autoPlayAnimatedImage() const { return autoPlay_; }
    void setAutoPlayAnimatedImage(bool autoPlay) { autoPlay_ = autoPlay; }
    int framePreloadCount() const { return framePreloadCount_; }
    void setFramePreloadCount(int count) { framePreloadCount_ = std::max(0, count); }
    bool needsPrescaling() const { return needsPrescaling_; }
    void setNeedsPrescaling(bool prescale) { needsPrescaling_ = prescale; }
    const RepeatCount& repeatCount() const { return repeatCount_; }
    void setRepeatCount(RepeatCount count);

    // Playing: the display link exists and is not paused.
    bool isAnimating() const;
    // Plays when there is an animator whose repeat count is not used up.
    void startAnimating();
    void stopAnimating();
    const std::shared_ptr<Animator>& animator() const { return animator_; }
    bool isDisplayLinkInitialized() const { return displayLink_ != nullptr; }
    // Made on first use, paused.
    DisplayLink* displayLink();

signals:
    void didPlayAnimationLoops(quint32 count);
    void didFinishAnimating();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    std::optional<std::pair<QImage, QSizeF>> displayedFrame() const override;

private:
    void reset();
    // How the shown image's frames play here; none when it has none to play, or when not even
    // two of its frames fit the decoding cap.
    std::optional<Animator::Settings> animatorSettings(const std::optional<Image>& shown) const;
    void didMove();
    void updateFrameIfNeeded();
    QSize pixelSize() const;

    bool autoPlay_ = true;
    int framePreloadCount_ = 10;
    bool needsPrescaling_ = true;
    RepeatCount repeatCount_;
    std::shared_ptr<DispatchQueue> preloadQueue_;
    std::shared_ptr<Animator> animator_;
    DisplayLink* displayLink_ = nullptr;
    // The frame last painted, kept while the current one is not decoded yet.
    mutable QImage currentFrame_;
};

} // namespace pictor
