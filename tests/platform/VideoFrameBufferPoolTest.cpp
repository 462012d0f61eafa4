#include "platform/VideoFrameBuffer.h"
#include "platform/VideoFrameBufferPool.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr QSize kSize(64, 36);

// What the render thread is given to draw into as the frames it gave back are held or released
// by the window system: the frame given back when it is free, else a free spare, else a new one
// while there may be, else none (the picture is skipped).
struct PoolRow {
    const char* name;
    // Turns the pool (already holding one frame drawn and given back as `first`) to the case.
    std::function<std::shared_ptr<VideoFrameBuffer>(VideoFrameBufferPool&, std::shared_ptr<VideoFrameBuffer>& first)> arrange;
    enum class Outcome { theFirst, aNewOne, none } outcome;
};

class VideoFrameBufferPoolTest : public ::testing::TestWithParam<PoolRow> {};

TEST_P(VideoFrameBufferPoolTest, NeverHandsOutAFrameTheWindowSystemHolds)
{
    VideoFrameBufferPool pool;
    std::shared_ptr<VideoFrameBuffer> first = pool.take(nullptr, kSize);
    ASSERT_TRUE(first);
    const VideoFrameBuffer* firstAddress = first.get();
    const std::shared_ptr<VideoFrameBuffer> given = GetParam().arrange(pool, first);
    switch (GetParam().outcome) {
    case PoolRow::Outcome::theFirst:
        EXPECT_EQ(given.get(), firstAddress);
        break;
    case PoolRow::Outcome::aNewOne:
        ASSERT_TRUE(given);
        EXPECT_NE(given.get(), firstAddress);
        EXPECT_FALSE(given->isHeld());
        break;
    case PoolRow::Outcome::none:
        EXPECT_FALSE(given);
        break;
    }
    if (given) {
        EXPECT_EQ(given->size(), kSize);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, VideoFrameBufferPoolTest,
    ::testing::Values(
        PoolRow{"AFreeFrameIsDrawnIntoAgain", [](VideoFrameBufferPool& pool, auto& first) { return pool.take(std::move(first), kSize); },
                PoolRow::Outcome::theFirst},
        PoolRow{"AHeldFrameWaitsAsANewOneIsMade",
                [](VideoFrameBufferPool& pool, auto& first) {
                    first->setHeld(true);
                    return pool.take(std::move(first), kSize);
                },
                PoolRow::Outcome::aNewOne},
        PoolRow{"AReleasedSpareComesBack",
                [](VideoFrameBufferPool& pool, auto& first) {
                    first->setHeld(true);
                    VideoFrameBuffer* held = first.get();
                    const auto second = pool.take(std::move(first), kSize);
                    held->setHeld(false);
                    return pool.take(nullptr, kSize);
                },
                PoolRow::Outcome::theFirst},
        PoolRow{"EveryFrameHeldSkipsThePicture",
                [](VideoFrameBufferPool& pool, auto& first) {
                    first->setHeld(true);
                    std::shared_ptr<VideoFrameBuffer> second = pool.take(std::move(first), kSize);
                    second->setHeld(true);
                    // The GUI thread shows a third.
                    const std::shared_ptr<VideoFrameBuffer> shown = pool.take(std::move(second), kSize);
                    return shown ? pool.take(nullptr, kSize) : shown;
                },
                PoolRow::Outcome::none},
        PoolRow{"ANewSizeDropsTheOldFrames",
                [](VideoFrameBufferPool& pool, auto& first) {
                    const auto larger = pool.take(std::move(first), kSize * 2);
                    return pool.take(larger && larger->size() == kSize * 2 ? nullptr : larger, kSize);
                },
                PoolRow::Outcome::aNewOne}),
    [](const ::testing::TestParamInfo<PoolRow>& row) { return std::string(row.param.name); });

} // namespace
