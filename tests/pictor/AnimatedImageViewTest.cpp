#include "TestImages.h"

#include "pictor/views/AnimatedImageView.h"
#include "pictor/processing/ImageCoding.h"
#include "pictor/core/ImageFrameSource.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace pictor;

namespace {

QByteArray gifOf(int frames, int delay = 4)
{
    QList<testimages::GifFrame> list;
    for (int i = 0; i < frames; ++i)
        list.append({QSize(4, 4), 1 + i % 3, delay});
    return testimages::gif(QSize(4, 4), list);
}

Image animated(int frames, int delay = 4)
{
    return *pt::image(gifOf(frames, delay), ImageCreatingOptions {.scale = 1.0, .duration = 0.0, .preloadAll = false, .onlyFirstFrame = false});
}

std::shared_ptr<Animator> animatorOf(int frames, int preload, RepeatCount repeat = RepeatCount::infinite())
{
    return Animator::create({QSize(), preload, animated(frames).frameSource()->copy(), repeat, true,
                             DispatchQueue::create(QStringLiteral("test.preload"))});
}

// Frames of a whole canvas left unpainted: the cap counts what decoded frames take, and a GIF
// of these canvases would have the reader paint gigabytes for it (over 20 s under load).
class UnpaintedFrames : public ImageFrameSource {
public:
    UnpaintedFrames(QSize canvas, int count) : canvas_(canvas), count_(count) {}
    std::optional<QByteArray> data() const override { return std::nullopt; }
    int frameCount() const override { return count_; }
    using ImageFrameSource::frame;
    QImage frame(int, std::optional<QSizeF>) const override { return QImage(canvas_, QImage::Format_ARGB32_Premultiplied); }
    double duration(int) const override { return 0.04; }
    std::shared_ptr<ImageFrameSource> copy() const override { return std::make_shared<UnpaintedFrames>(canvas_, count_); }

private:
    QSize canvas_;
    int count_;
};

// Ticks until the listed frames are known (setup runs on the preload queue).
void waitForFrames(const Animator& animator)
{
    ASSERT_TRUE(QTest::qWaitFor([&] { return animator.loopDuration() > 0; }, 5000));
}

} // namespace

TEST(AnimatorTest, KeepsOnlyTheCurrentFrameAndTheNextOnesDecoded)
{
    auto animator = animatorOf(30, 10);
    waitForFrames(*animator);
    ASSERT_TRUE(QTest::qWaitFor([&] { return animator->decodedFrameCount() == 11; }, 5000));
    ASSERT_TRUE(animator->tick(animator->duration(0)));
    // Frame 0 is dropped and frames 2 to 11 are ensured: still 11 decoded.
    ASSERT_TRUE(QTest::qWaitFor([&] { return animator->frame(0).isNull() && !animator->frame(11).isNull(); }, 5000));
    EXPECT_EQ(animator->decodedFrameCount(), 11);
}

TEST(AnimatorTest, AdvancesOneFrameAtMostPerTickAndKeepsTheRest)
{
    auto animator = animatorOf(3, 10);
    waitForFrames(*animator);
    EXPECT_FALSE(animator->tick(0.01));
    // 0.04 s frames; a 0.5 s tick still moves one frame only.
    EXPECT_TRUE(animator->tick(0.5));
    EXPECT_EQ(animator->currentFrameIndex(), 1);
    EXPECT_TRUE(animator->tick(0.0));
    EXPECT_EQ(animator->currentFrameIndex(), 2);
}

TEST(AnimatorTest, CountsLoopsAgainstTheRepeatCount)
{
    struct Case {
        int frames;
        RepeatCount repeat;
        int advances;
        QList<quint32> heard;
        bool finished;
        quint32 loops;
    };
    const QList<Case> cases = {
        {3, RepeatCount::finite(3), 8, {1, 2, 3}, true, 3},
        {3, RepeatCount::once(), 2, {1}, true, 1},
        {3, RepeatCount::infinite(), 9, {1, 2, 3}, false, 3},
        // The only frame is also the last: every advance counts a loop, none is a wrap.
        {1, RepeatCount::infinite(), 3, {}, false, 3},
        {1, RepeatCount::finite(2), 2, {2}, true, 2},
    };
    for (const Case& c : cases) {
        auto animator = animatorOf(c.frames, 10, c.repeat);
        QList<quint32> heard;
        animator->onLoopsPlayed = [&](quint32 count) { heard.append(count); };
        waitForFrames(*animator);
        for (int i = 0; i < c.advances; ++i)
            ASSERT_TRUE(animator->tick(1.0));
        EXPECT_EQ(heard, c.heard) << c.frames << " frames";
        EXPECT_EQ(animator->isFinished(), c.finished) << c.frames << " frames";
        EXPECT_EQ(animator->currentRepeatCount(), c.loops) << c.frames << " frames";
    }
}

TEST(AnimatedImageViewTest, PlaysOnlyWhileShownAndLeavesTheDisplayLinkIdleWhenHidden)
{
    AnimatedImageView view;
    view.resize(40, 40);
    view.setImage(animated(5));
    ASSERT_TRUE(view.animator());
    EXPECT_FALSE(view.isAnimating());
    view.show();
    EXPECT_TRUE(view.isAnimating());
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.animator()->currentFrameIndex() != 0; }, 5000));
    view.hide();
    EXPECT_FALSE(view.isAnimating());
    const int frame = view.animator()->currentFrameIndex();
    QTest::qWait(200);
    EXPECT_EQ(view.animator()->currentFrameIndex(), frame);
}

TEST(AnimatedImageViewTest, ResetsOnlyForAnotherImage)
{
    AnimatedImageView view;
    const Image image = animated(4);
    view.setImage(image);
    const std::shared_ptr<Animator> first = view.animator();
    view.setImage(image);
    EXPECT_EQ(view.animator(), first);
    view.setImage(std::nullopt);
    EXPECT_FALSE(view.animator());
    view.setImage(Image(testimages::quadrants(QSize(8, 8))));
    EXPECT_FALSE(view.animator()) << "a still image has no frames to play";
}

TEST(AnimatedImageViewTest, FinishesAfterItsRepeatCountAndRefusesToRestart)
{
    AnimatedImageView view;
    view.setRepeatCount(RepeatCount::once());
    view.setImage(animated(3, 2));
    QSignalSpy finished(&view, &AnimatedImageView::didFinishAnimating);
    view.show();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(view.isAnimating());
    view.startAnimating();
    EXPECT_FALSE(view.isAnimating());

    view.setRepeatCount(RepeatCount::finite(0));
    view.startAnimating();
    EXPECT_FALSE(view.isAnimating());
}

TEST(AnimatedImageViewTest, TakesAnimationsOfOneOrTenThousandFrames)
{
    for (const int frames : {1, 10000}) {
        AnimatedImageView view;
        view.resize(20, 20);
        view.setImage(animated(frames, 1));
        view.show();
        ASSERT_TRUE(view.animator()) << frames;
        EXPECT_EQ(view.animator()->frameCount(), frames);
        ASSERT_TRUE(QTest::qWaitFor([&] { return view.animator()->loopDuration() > 0; }, 20000)) << frames;
        QTest::qWait(50);
        EXPECT_TRUE(view.isAnimating()) << frames;
    }
}

TEST(AnimatedImageViewTest, KeepsNoMoreDecodedFramesThanTheDecodingCap)
{
    struct Case {
        const char* name;
        QSize canvas;
        int decoded; // once set up
    };
    const QList<Case> cases = {
        {"all frames fit", QSize(1000, 1000), 12},
        {"four canvases make the cap", QSize(4000, 4000), 4},
        {"two canvases fit, three exceed the cap", QSize(5000, 5000), 2},
    };
    for (const Case& c : cases) {
        // The image of the first frame alone passes the cap.
        const std::optional<Image> first = pt::animatedImage(std::make_shared<UnpaintedFrames>(c.canvas, 12),
                                                             ImageCreatingOptions {.scale = 1.0, .duration = 0.0, .preloadAll = false, .onlyFirstFrame = true},
                                                             std::nullopt);
        ASSERT_TRUE(first) << c.name;
        AnimatedImageView view;
        view.resize(20, 20);
        view.setNeedsPrescaling(false);
        view.setImage(first);
        ASSERT_TRUE(view.animator()) << c.name;
        ASSERT_TRUE(QTest::qWaitFor([&] { return view.animator()->loopDuration() > 0; }, 20000)) << c.name;
        EXPECT_EQ(view.animator()->decodedFrameCount(), c.decoded) << c.name;
    }
}
