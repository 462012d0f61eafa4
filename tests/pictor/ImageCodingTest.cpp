#include "TestImages.h"

#include "pictor/processing/GifFrameSource.h"
#include "pictor/processing/ImageCoding.h"
#include "pictor/processing/ImageDrawing.h"

#include <QtConcurrent/QtConcurrentMap>

#include <gtest/gtest.h>

#include <cmath>

using namespace pictor;
using testimages::GifFrame;

namespace {

TEST(ImageCodingTest, EncodingsRoundTripAndGifGivesOnlyItsSourceBytes)
{
    const Image picture(testimages::quadrants(QSize(64, 32)));
    const struct {
        ImageFormat format;
        ImageFormat encodedAs;
    } cases[] = {{ImageFormat::unknown, ImageFormat::PNG}, {ImageFormat::PNG, ImageFormat::PNG}, {ImageFormat::JPEG, ImageFormat::JPEG}};
    for (const auto& c : cases) {
        const std::optional<QByteArray> bytes = pt::data(picture, c.format, 0.8);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(pt::imageFormat(*bytes), c.encodedAs);
        const std::optional<Image> back = pt::image(*bytes, {});
        ASSERT_TRUE(back);
        EXPECT_EQ(back->pixelSize(), QSizeF(64, 32));
        EXPECT_GT(QColor(back->bitmap().pixel(48, 8)).green(), 200);
    }
    EXPECT_FALSE(pt::data(picture, ImageFormat::GIF, 1.0));
    EXPECT_FALSE(pt::pngRepresentation(Image()));

    const QByteArray gif = testimages::gif(QSize(4, 4), {{QSize(4, 4), 1, 10}, {QSize(4, 4), 2, 10}});
    const std::optional<Image> animated = pt::image(gif, {});
    ASSERT_TRUE(animated);
    EXPECT_EQ(pt::data(*animated, ImageFormat::GIF, 1.0), gif);
}

TEST(ImageCodingTest, JpegQualityChangesTheBytesAndScaleDoesNotChangeTheImage)
{
    const Image picture(testimages::quadrants(QSize(200, 100)));
    EXPECT_GT(pt::jpegRepresentation(picture, 1.0)->size(), pt::jpegRepresentation(picture, 0.1)->size());
    const QByteArray jpeg = *pt::jpegRepresentation(picture, 0.9);
    EXPECT_EQ(pt::image(jpeg, {.scale = 2.0})->bitmap(), pt::image(jpeg, {.scale = 1.0})->bitmap());
}

TEST(AnimatedImageTest, DurationsSumTheFrameDelaysWithShortOnesAtATenth)
{
    // 0 cs, 1 cs, 2 cs and no delay at all.
    const QByteArray gif = testimages::gif(QSize(3, 2), {{QSize(3, 2), 1, 0}, {QSize(3, 2), 2, 1}, {QSize(3, 2), 3, 2}, {QSize(3, 2), 1, {}}});
    const std::optional<Image> image = pt::image(gif, {});
    ASSERT_TRUE(image);
    EXPECT_NEAR(*image->animationDuration(), 0.32, 1e-9);
    EXPECT_EQ(image->imageFrameCount(), 4);
    ASSERT_TRUE(image->animationFrames());
    ASSERT_EQ(image->animationFrames()->size(), 4);
    EXPECT_EQ(QColor(image->animationFrames()->at(2).bitmap().pixel(1, 1)), QColor(Qt::blue));
    EXPECT_FALSE(image->isSameObject(image->animationFrames()->first())) << "the still decoding is the result, not frame 0";
    EXPECT_EQ(image->creatingOptions(), ImageCreatingOptions {});

    const std::optional<Image> still = pt::image(testimages::gif(QSize(2, 2), {{QSize(2, 2), 1, 50}}), {});
    EXPECT_TRUE(std::isinf(*still->animationDuration()));
    EXPECT_EQ(still->animationFrames()->size(), 1);
}

TEST(AnimatedImageTest, OnlyFirstFrameKeepsTheSourceButNoFrameList)
{
    const QByteArray gif = testimages::gif(QSize(2, 2), {{QSize(2, 2), 2, 5}, {QSize(2, 2), 3, 5}, {QSize(2, 2), 1, 5}});
    const std::optional<Image> first = pt::image(gif, {.onlyFirstFrame = true});
    ASSERT_TRUE(first);
    EXPECT_EQ(QColor(first->bitmap().pixel(0, 0)), QColor(Qt::green));
    EXPECT_EQ(first->imageFrameCount(), 3);
    EXPECT_TRUE(first->frameSource());
    EXPECT_FALSE(first->animationFrames());
    EXPECT_FALSE(first->animationDuration());
    // Decoding for display leaves an image with all its frames alone.
    EXPECT_FALSE(pt::decoded(*first).isSameObject(*first));
    const Image all = *pt::image(gif, {});
    EXPECT_TRUE(pt::decoded(all).isSameObject(all));
}

TEST(AnimatedImageTest, FrameSourceReadsAnyFrameAgainAndCopiesIndependently)
{
    const QByteArray gif = testimages::gif(QSize(40, 20), {{QSize(40, 20), 1, 5}, {QSize(40, 20), 2, 5}, {QSize(40, 20), 3, 5}});
    const std::optional<Image> image = pt::image(gif, {});
    const std::shared_ptr<ImageFrameSource> source = image->frameSource();
    ASSERT_TRUE(source);
    EXPECT_EQ(QColor(source->frame(2).pixel(0, 0)), QColor(Qt::blue));
    EXPECT_EQ(QColor(source->frame(0).pixel(0, 0)), QColor(Qt::red)) << "going back starts over";
    EXPECT_EQ(source->frame(1, QSizeF(10, 10)).size(), QSize(10, 5));
    EXPECT_EQ(source->frame(1, QSizeF(0, 0)).size(), QSize(40, 20));
    EXPECT_TRUE(source->frame(3).isNull());
    const std::shared_ptr<ImageFrameSource> copy = source->copy();
    EXPECT_EQ(QColor(copy->frame(1).pixel(0, 0)), QColor(Qt::green));
    EXPECT_EQ(copy->data(), gif);
    EXPECT_DOUBLE_EQ(copy->duration(0), 0.05);
}

// Views read frames of one image from several threads at once.
TEST(AnimatedImageTest, OneFrameSourceServesManyThreads)
{
    const QByteArray gif = testimages::gif(QSize(16, 16), {{QSize(16, 16), 1, 5}, {QSize(16, 16), 2, 5}, {QSize(16, 16), 3, 5}});
    const std::shared_ptr<ImageFrameSource> source = pt::image(gif, {})->frameSource();
    QList<int> indices;
    for (int i = 0; i < 60; ++i)
        indices.append(i % 3);
    const QList<QColor> colours = QtConcurrent::blockingMapped(indices, [&source](int index) { return QColor(source->frame(index).pixel(0, 0)); });
    const QColor expected[] = {Qt::red, Qt::green, Qt::blue};
    for (int i = 0; i < indices.size(); ++i)
        EXPECT_EQ(colours[i], expected[indices[i]]);
}

TEST(AnimatedImageTest, FrameDelayRule)
{
    EXPECT_DOUBLE_EQ(GifFrameSource::frameDuration(std::nullopt), 0.1);
    EXPECT_DOUBLE_EQ(GifFrameSource::frameDuration(0.011), 0.1);
    EXPECT_DOUBLE_EQ(GifFrameSource::frameDuration(0.012), 0.012);
    EXPECT_DOUBLE_EQ(GifFrameSource::frameDuration(0.05), 0.05);
}

} // namespace
