#include "TestImages.h"

#include "pictor/processing/BoxBlur.h"
#include "pictor/processing/Filter.h"
#include "pictor/processing/ImageCoding.h"
#include "pictor/processing/ImageDrawing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace pictor;

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

QColor at(const Image& image, int x, int y)
{
    return image.bitmap().pixelColor(x, y);
}

TEST(ImageDrawingTest, InvalidSizesAndScalesLeaveTheImageUnchanged)
{
    const Image image(testimages::quadrants(QSize(40, 20)));
    const QList<QSizeF> sizes = {{0, 10}, {10, 0}, {-5, 10}, {nan, 10}, {10, inf}};
    for (const QSizeF& size : sizes) {
        SCOPED_TRACE(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height()).toStdString());
        EXPECT_TRUE(pt::resize(image, size).isSameObject(image));
        EXPECT_TRUE(pt::resize(image, size, ContentMode::aspectFit).isSameObject(image));
        EXPECT_TRUE(pt::crop(image, size, QPointF(0.5, 0.5)).isSameObject(image));
        EXPECT_TRUE(pt::roundCorners(image, Radius::point(4), size).isSameObject(image));
    }
    // Beyond the decoding cap nothing is drawn either; a crop that large is cut to the image.
    EXPECT_TRUE(pt::resize(image, QSizeF(1e12, 1e12)).isSameObject(image));
    EXPECT_TRUE(pt::roundCorners(image, Radius::point(4), QSizeF(1e6, 1e6)).isSameObject(image));
    for (const double scale : {0.0, -1.0, nan, inf}) {
        EXPECT_TRUE(pt::scaled(image, scale).isSameObject(image));
        EXPECT_TRUE(pt::decoded(image, scale).isSameObject(image));
    }
    // No bitmap: nothing can be drawn.
    const Image empty;
    EXPECT_TRUE(pt::resize(empty, QSizeF(10, 10)).isSameObject(empty));
    EXPECT_TRUE(pt::blurred(empty, 4).isSameObject(empty));
    EXPECT_TRUE(pt::overlaying(empty, Qt::red, 0.5).isSameObject(empty));
}

TEST(ImageDrawingTest, ResizeFloorsToWholePixelsAndFollowsTheContentMode)
{
    const Image wide(testimages::quadrants(QSize(400, 200)));
    const struct {
        QSizeF size;
        ContentMode mode;
        QSizeF result;
    } cases[] = {
        {{0.4, 0.4}, ContentMode::none, {1, 1}},
        {{100, 100}, ContentMode::aspectFit, {100, 50}},
        {{100, 100}, ContentMode::aspectFill, {200, 100}},
        {{100, 100}, ContentMode::none, {100, 100}},
    };
    for (const auto& c : cases) {
        const Image resized = pt::resize(wide, c.size, c.mode);
        EXPECT_EQ(resized.pixelSize(), c.result);
        EXPECT_EQ(resized.size(), c.result);
    }
    const Image fit = pt::resize(wide, QSizeF(100, 100), ContentMode::aspectFit);
    EXPECT_EQ(at(fit, 10, 10), QColor(Qt::red));
    EXPECT_EQ(at(fit, 90, 40), QColor(Qt::white));
}

TEST(ImageDrawingTest, CropIsClampedToTheImage)
{
    const Image image(testimages::quadrants(QSize(200, 100)));
    const Image corner = pt::crop(image, QSizeF(50, 20), QPointF(2, -1));
    EXPECT_EQ(corner.pixelSize(), QSizeF(50, 20));
    EXPECT_EQ(at(corner, 10, 10), QColor(Qt::green)) << "anchor (1, 0) is the top-right corner";
    EXPECT_EQ(pt::crop(image, QSizeF(1000, 1000), QPointF(0.5, 0.5)).pixelSize(), QSizeF(200, 100));
}

TEST(ImageDrawingTest, RoundCornersShowTheBackgroundOrTransparency)
{
    const Image image(testimages::quadrants(QSize(100, 100)));
    const Image clear = pt::roundCorners(image, Radius::widthFraction(0.5), QSizeF(50, 50));
    EXPECT_EQ(clear.pixelSize(), QSizeF(50, 50));
    EXPECT_EQ(at(clear, 0, 0).alpha(), 0);
    EXPECT_EQ(at(clear, 12, 12), QColor(Qt::red));
    EXPECT_EQ(at(clear, 37, 37), QColor(Qt::white));

    const Image filled = pt::roundCorners(image, Radius::point(30), QSizeF(100, 100), RectCorner::bottomRight, QColor(Qt::yellow));
    EXPECT_EQ(at(filled, 99, 99), QColor(Qt::yellow));
    EXPECT_EQ(at(filled, 0, 0), QColor(Qt::red));
    EXPECT_EQ(at(filled, 0, 99), QColor(Qt::blue));
}

TEST(ImageDrawingTest, RadiusBeyondHalfTheShorterSideIsThatHalf)
{
    const Image image(testimages::quadrants(QSize(100, 40)));
    const QImage largest = pt::roundCorners(image, Radius::point(20), QSizeF(100, 40)).bitmap();
    for (const Radius radius : {Radius::point(1000), Radius::heightFraction(3), Radius::widthFraction(0.9)}) {
        const QImage rounded = pt::roundCorners(image, radius, QSizeF(100, 40)).bitmap();
        EXPECT_EQ(rounded, largest) << radius.description().toStdString();
        EXPECT_EQ(rounded.pixelColor(50, 1).alpha(), 255) << "the straight middle of the edge stays";
    }
}

TEST(ImageDrawingTest, BorderOverlayAndCompositing)
{
    const Image image(testimages::quadrants(QSize(100, 100)));
    const Image bordered = pt::addingBorder(image, Border {QColor(Qt::black), 4, Radius::point(0), RectCorner::all});
    EXPECT_EQ(at(bordered, 1, 25), QColor(Qt::black));
    EXPECT_EQ(at(bordered, 10, 25), QColor(Qt::red));

    const Image none = pt::overlaying(image, Qt::black, 0);
    EXPECT_FALSE(none.isSameObject(image));
    EXPECT_EQ(none.bitmap().convertToFormat(QImage::Format_RGB32), image.bitmap());
    const Image half = pt::overlaying(image, Qt::black, 0.5);
    EXPECT_NEAR(at(half, 80, 80).red(), 128, 2);

    const Image faded = pt::compositing(image, CompositingOperation::sourceOver, 0.5, QColor(Qt::black));
    EXPECT_NEAR(at(faded, 80, 80).red(), 128, 2);
    EXPECT_EQ(at(faded, 80, 80).alpha(), 255);
}

TEST(ImageDrawingTest, BlurBoxSizesPassesAndEdgesExtended)
{
    const struct {
        double radius;
        int box, passes;
    } cases[] = {{0, 5, 1}, {1.0, 5, 2}, {10, 19, 3}, {1e12, std::numeric_limits<int>::max(), 3}};
    for (const auto& c : cases) {
        EXPECT_EQ(BoxBlur::boxSize(c.radius), c.box);
        EXPECT_EQ(BoxBlur::passes(c.radius), c.passes);
    }
    // A flat picture stays flat however wide the box: the edges are extended, not darkened.
    QImage flat(30, 20, QImage::Format_RGB32);
    flat.fill(QColor(200, 100, 50));
    for (const double radius : {3.0, 1e12}) {
        const Image blurred = pt::blurred(Image(flat), radius);
        EXPECT_EQ(at(blurred, 0, 0), QColor(200, 100, 50));
        EXPECT_EQ(at(blurred, 29, 19), QColor(200, 100, 50));
    }
    const Image halves = pt::blurred(Image(testimages::quadrants(QSize(100, 100))), 10);
    EXPECT_EQ(at(halves, 0, 0).red(), 255);
    EXPECT_GT(at(halves, 50, 10).red(), 60);
    EXPECT_GT(at(halves, 50, 10).green(), 60);
}

TEST(ImageDrawingTest, ScaledAndDecodedGiveNewImagesOfPixelSize)
{
    const Image image(testimages::quadrants(QSize(200, 200)), QSizeF(100, 100));
    EXPECT_TRUE(pt::scaled(image, 1.0).isSameObject(image));
    const Image twice = pt::scaled(image, 2.0);
    EXPECT_FALSE(twice.isSameObject(image));
    EXPECT_EQ(twice.size(), QSizeF(200, 200));
    EXPECT_EQ(pt::decoded(image, 2.0).pixelSize(), QSizeF(100, 100));
    EXPECT_TRUE(pt::normalized(image).isSameObject(image));
    EXPECT_EQ(Image(QImage(), QSizeF(30, 20)).pixelSize(), QSizeF(30, 20)) << "without pixels, the point size";

    QImage canvas(300, 300, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::black);
    const Image drawn = pt::decoded(image, canvas);
    EXPECT_EQ(drawn.pixelSize(), QSizeF(300, 300));
    EXPECT_EQ(at(drawn, 10, 10), QColor(Qt::red));
    EXPECT_EQ(at(drawn, 250, 250), QColor(Qt::black));
}

TEST(ImageDrawingTest, DownsampleDecodesToTheLongerSideWithoutGrowing)
{
    const QByteArray jpeg = testimages::encoded(testimages::quadrants(QSize(800, 600)), "jpeg");
    EXPECT_EQ(pt::downsampledImage(jpeg, QSizeF(100, 50), 2.0)->pixelSize(), QSizeF(200, 150));
    EXPECT_EQ(pt::downsampledImage(jpeg, QSizeF(4000, 4000), 1.0)->pixelSize(), QSizeF(800, 600));
    EXPECT_EQ(pt::downsampledImage(jpeg, QSizeF(0, 0), 1.0)->pixelSize(), QSizeF(800, 600));
    EXPECT_FALSE(pt::downsampledImage(QByteArray("not an image at all"), QSizeF(10, 10), 1.0));
}

TEST(FilterTest, TintAndColourControls)
{
    const Image image(testimages::quadrants(QSize(20, 20)));
    const Image clear = pt::tinted(image, QColor(0, 0, 0, 0));
    EXPECT_FALSE(clear.isSameObject(image));
    EXPECT_EQ(clear.bitmap().convertToFormat(QImage::Format_RGB32), image.bitmap());
    const Image opaque = pt::tinted(image, QColor(Qt::magenta));
    EXPECT_EQ(at(opaque, 0, 0), QColor(Qt::magenta));
    EXPECT_EQ(at(opaque, 19, 19), QColor(Qt::magenta));

    const Image neutral = pt::adjusted(image, 0, 1, 1, 0);
    EXPECT_FALSE(neutral.isSameObject(image));
    EXPECT_EQ(neutral.bitmap().convertToFormat(QImage::Format_RGB32), image.bitmap());
    const Image grey = pt::adjusted(image, 0, 1, 0, 0);
    const QColor red = at(grey, 0, 0);
    EXPECT_EQ(red.red(), red.green());
    EXPECT_EQ(red.green(), red.blue());
    EXPECT_GT(at(pt::adjusted(image, 0, 1, 1, 1), 15, 15).red(), 250);
    EXPECT_LT(at(pt::adjusted(image, 0, 1, 1, -1), 15, 15).red(), 200);

    const Filter nothing([](const QImage&) { return std::optional<QImage>(); });
    EXPECT_TRUE(pt::apply(image, nothing).isSameObject(image));
    bool ran = false;
    const Filter watched([&ran](const QImage& input) {
        ran = true;
        return std::optional(input);
    });
    const Image empty;
    EXPECT_TRUE(pt::apply(empty, watched).isSameObject(empty));
    EXPECT_FALSE(ran);
}

} // namespace
