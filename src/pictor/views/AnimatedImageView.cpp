#include "pictor/views/AnimatedImageView.h"

#include "pictor/processing/ImageDecoder.h"

#include <QResizeEvent>
#include <QWindow>

namespace pictor {

namespace {
// Animations whose frames all fit are decoded once and kept.
constexpr qint64 kKeepAllFramesBytes = qint64(64) * 1024 * 1024;
} // namespace

AnimatedImageView::AnimatedImageView(QWidget* parent) : ImageView(parent) {}

AnimatedImageView::~AnimatedImageView()
{
    if (displayLink_)
        displayLink_->invalidate();
}

void AnimatedImageView::setImage(std::optional<Image> image)
{
    const std::optional<Image>& old = this->image();
    const bool changed = old.has_value() != image.has_value() || (old && !old->isSameObject(*image));
    ImageView::setImage(std::move(image));
    if (changed)
        reset();
}

void AnimatedImageView::setRepeatCount(RepeatCount count)
{
    if (count == repeatCount_)
        return;
    repeatCount_ = count;
    reset();
    update();
}

QSize AnimatedImageView::pixelSize() const { return (QSizeF(size()) * devicePixelRatioF()).toSize(); }

void AnimatedImageView::reset()
{
    animator_.reset();
    currentFrame_ = QImage();
    if (std::optional<Animator::Settings> settings = animatorSettings(image())) {
        if (!preloadQueue_)
            preloadQueue_ = DispatchQueue::create(QStringLiteral("com.quillmoth.Pictor.Animator.preloadQueue"));
        settings->preloadQueue = preloadQueue_;
        animator_ = Animator::create(std::move(*settings));
        QPointer<AnimatedImageView> self(this);
        animator_->onLoopsPlayed = [self](quint32 count) {
            if (self)
                emit self->didPlayAnimationLoops(count);
        };
    }
    didMove();
}

std::optional<Animator::Settings> AnimatedImageView::animatorSettings(const std::optional<Image>& shown) const
{
    const std::shared_ptr<ImageFrameSource> source = shown ? shown->frameSource() : nullptr;
    if (!source)
        return std::nullopt;
    Animator::Settings settings;
    settings.size = pixelSize();
    settings.frameSource = source->copy();
    settings.maxRepeatCount = repeatCount_;
    settings.needsPrescaling = needsPrescaling_;
    settings.maxFrameCount = framePreloadCount_;
    const QSizeF frameSize = needsPrescaling_ && !settings.size.isEmpty() ? shown->pixelSize().boundedTo(QSizeF(settings.size))
                                                                          : shown->pixelSize();
    const qint64 framePixels = std::max<qint64>(1, qint64(frameSize.width()) * qint64(frameSize.height()));
    if (framePixels * 4 * source->frameCount() <= kKeepAllFramesBytes)
        settings.maxFrameCount = std::max(framePreloadCount_, source->frameCount());
    // The frames kept decoded, the current one and those after it, count against the decoding
    // cap as a whole decode would: an image made of its first frame alone may carry many more.
    const qint64 fitting = ImageDecoder::maxPixels / framePixels;
    settings.maxFrameCount = int(std::min<qint64>(settings.maxFrameCount, fitting - 1));
    // Playing needs the next frame decoded beside the current one; else the still image stays.
    if (settings.maxFrameCount < 1 && source->frameCount() > 1)
        return std::nullopt;
    return settings;
}

bool AnimatedImageView::isAnimating() const { return displayLink_ && !displayLink_->isPaused(); }

DisplayLink* AnimatedImageView::displayLink()
{
    if (!displayLink_) {
        QPointer<AnimatedImageView> self(this);
        displayLink_ = new DisplayLink([self] {
            if (self)
                self->updateFrameIfNeeded();
        }, this);
    }
    return displayLink_;
}

void AnimatedImageView::startAnimating()
{
    if (!animator_ || repeatCount_.isReached(animator_->currentRepeatCount()))
        return;
    if (QWindow* handle = window()->windowHandle())
        displayLink()->setScreen(handle->screen());
    displayLink()->setPaused(false);
}

void AnimatedImageView::stopAnimating()
{
    if (displayLink_)
        displayLink_->setPaused(true);
}

void AnimatedImageView::didMove()
{
    if (!autoPlay_)
        return;
    if (isVisible())
        startAnimating();
    else
        stopAnimating();
}

void AnimatedImageView::showEvent(QShowEvent* event)
{
    ImageView::showEvent(event);
    didMove();
}

void AnimatedImageView::hideEvent(QHideEvent* event)
{
    ImageView::hideEvent(event);
    didMove();
}

void AnimatedImageView::resizeEvent(QResizeEvent* event)
{
    ImageView::resizeEvent(event);
    // Frames were decoded for a smaller view: decode them again for the new size, not blurred.
    if (animator_ && needsPrescaling_) {
        const QSize old = (QSizeF(event->oldSize()) * devicePixelRatioF()).toSize();
        if (pixelSize().width() > old.width() || pixelSize().height() > old.height())
            reset();
    }
}

void AnimatedImageView::updateFrameIfNeeded()
{
    if (!animator_)
        return;
    if (animator_->isFinished()) {
        stopAnimating();
        emit didFinishAnimating();
        return;
    }
    const DisplayLink* link = displayLink();
    const double step = link->preferredFramesPerSecond() != 0 ? 1.0 / link->preferredFramesPerSecond() : link->duration();
    if (animator_->tick(step))
        update();
}

std::optional<std::pair<QImage, QSizeF>> AnimatedImageView::displayedFrame() const
{
    if (!animator_)
        return ImageView::displayedFrame();
    const QImage frame = animator_->frame(animator_->currentFrameIndex());
    if (!frame.isNull())
        currentFrame_ = frame;
    if (currentFrame_.isNull())
        return ImageView::displayedFrame();
    return std::pair(currentFrame_, image()->size());
}

} // namespace pictor
