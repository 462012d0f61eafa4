#include "TestImages.h"

#include "pictor/processing/BlackWhiteProcessor.h"
#include "pictor/processing/BlurImageProcessor.h"
#include "pictor/processing/BorderImageProcessor.h"
#include "pictor/processing/ColorControlsProcessor.h"
#include "pictor/processing/CompositingImageProcessor.h"
#include "pictor/processing/CroppingImageProcessor.h"
#include "pictor/processing/DefaultImageProcessor.h"
#include "pictor/processing/DownsamplingImageProcessor.h"
#include "pictor/processing/FilterImageProcessor.h"
#include "pictor/processing/GeneralProcessor.h"
#include "pictor/processing/ImageDrawing.h"
#include "pictor/processing/LivePhotoImageProcessor.h"
#include "pictor/processing/OverlayImageProcessor.h"
#include "pictor/processing/ResizingImageProcessor.h"
#include "pictor/processing/RoundCornerImageProcessor.h"
#include "pictor/processing/TintImageProcessor.h"

#include <gtest/gtest.h>

using namespace pictor;

namespace {

PictorParsedOptionsInfo withScale(double scale)
{
    PictorParsedOptionsInfo options;
    options.scaleFactor = scale;
    return options;
}

TEST(ImageProcessorTest, IdentifiersAreStableTexts)
{
    const QColor half(255, 0, 0, 128);
    const struct {
        ImageProcessorPtr processor;
        const char* identifier;
    } cases[] = {
        {DefaultImageProcessor::shared(), ""},
        {std::make_shared<RoundCornerImageProcessor>(20), "com.quillmoth.Pictor.RoundCornerImageProcessor(20.0)"},
        {std::make_shared<RoundCornerImageProcessor>(20, QSizeF(100, 50), 3),
         "com.quillmoth.Pictor.RoundCornerImageProcessor(20.0_(100.0, 50.0)_corner(3))"},
        {std::make_shared<RoundCornerImageProcessor>(Radius::widthFraction(0.5), std::nullopt, 0, QColor(Qt::red)),
         "com.quillmoth.Pictor.RoundCornerImageProcessor(w_frac_0.5_corner(0))_#ffff0000"},
        {std::make_shared<RoundCornerImageProcessor>(Radius::heightFraction(0.25)), "com.quillmoth.Pictor.RoundCornerImageProcessor(h_frac_0.25)"},
        {std::make_shared<CompositingImageProcessor>(CompositingOperation::sourceOver, 0.5, half),
         "com.quillmoth.Pictor.CompositingImageProcessor(2,0.5)_(1.00,0.00,0.00,0.50)"},
        {std::make_shared<BorderImageProcessor>(Border {Qt::black, 4, Radius::point(10), RectCorner::all}),
         "com.quillmoth.Pictor.BorderImageProcessor(Border(color: (0.00,0.00,0.00,1.00), lineWidth: 4.0, radius: point(10.0), "
         "roundingCorners: 15)"},
        {std::make_shared<ResizingImageProcessor>(QSizeF(100, 50)), "com.quillmoth.Pictor.ResizingImageProcessor((100.0, 50.0))"},
        {std::make_shared<ResizingImageProcessor>(QSizeF(100, 50), ContentMode::aspectFill),
         "com.quillmoth.Pictor.ResizingImageProcessor((100.0, 50.0), aspectFill)"},
        {std::make_shared<BlurImageProcessor>(10), "com.quillmoth.Pictor.BlurImageProcessor(10.0)"},
        {std::make_shared<OverlayImageProcessor>(QColor(Qt::blue), 0.7), "com.quillmoth.Pictor.OverlayImageProcessor((0.00,0.00,1.00,1.00)_0.7)"},
        {std::make_shared<TintImageProcessor>(half), "com.quillmoth.Pictor.TintImageProcessor((1.00,0.00,0.00,0.50))"},
        {std::make_shared<ColorControlsProcessor>(0.1, 1, 0, 0.7), "com.quillmoth.Pictor.ColorControlsProcessor(0.1_1.0_0.0_0.7)"},
        {std::make_shared<BlackWhiteProcessor>(), "com.quillmoth.Pictor.BlackWhiteProcessor"},
        {std::make_shared<CroppingImageProcessor>(QSizeF(10, 20), QPointF(0.5, 1)),
         "com.quillmoth.Pictor.CroppingImageProcessor((10.0, 20.0)_(0.5, 1.0))"},
        {std::make_shared<DownsamplingImageProcessor>(QSizeF(400, 300)), "com.quillmoth.Pictor.DownsamplingImageProcessor((400.0, 300.0))"},
        {std::make_shared<LivePhotoImageProcessor>(), "com.quillmoth.Pictor.LivePhotoImageProcessor"},
        {append(DefaultImageProcessor::shared(), std::make_shared<BlurImageProcessor>(2)), "|>com.quillmoth.Pictor.BlurImageProcessor(2.0)"},
        {append(append(std::make_shared<BlurImageProcessor>(1), std::make_shared<BlackWhiteProcessor>()), std::make_shared<RoundCornerImageProcessor>(4)),
         "com.quillmoth.Pictor.BlurImageProcessor(1.0)|>com.quillmoth.Pictor.BlackWhiteProcessor|>"
         "com.quillmoth.Pictor.RoundCornerImageProcessor(4.0)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.processor->identifier(), QString::fromUtf8(c.identifier));
}

TEST(ImageProcessorTest, DefaultProcessorScalesImagesAndDecodesData)
{
    const Image image(testimages::quadrants(QSize(40, 40)), QSizeF(20, 20));
    const DefaultImageProcessor& processor = *DefaultImageProcessor::shared();
    EXPECT_TRUE(processor.process(ImageProcessItem::image(image), withScale(1.0))->isSameObject(image));
    const std::optional<Image> scaled = processor.process(ImageProcessItem::image(image), withScale(2.0));
    EXPECT_FALSE(scaled->isSameObject(image));
    EXPECT_EQ(scaled->size(), QSizeF(40, 40));
    const QByteArray png = testimages::encoded(image.bitmap(), "png");
    EXPECT_EQ(processor.process(ImageProcessItem::data(png), {})->pixelSize(), QSizeF(40, 40));
    EXPECT_FALSE(processor.process(ImageProcessItem::data(QByteArray("junk junk junk")), {}));
}

TEST(ImageProcessorTest, ScaleStepBlurRadiusAndTheUnscaledBorder)
{
    const Image image(testimages::quadrants(QSize(40, 40)));
    const PictorParsedOptionsInfo doubled = withScale(2.0);
    const auto blurred = BlurImageProcessor(3).process(ImageProcessItem::image(image), doubled);
    EXPECT_EQ(blurred->bitmap(), pt::blurred(image, 6).bitmap());
    // The border draws on the image as given; it still gives a new image.
    const auto bordered = BorderImageProcessor(Border {}).process(ImageProcessItem::image(image), doubled);
    EXPECT_EQ(bordered->pixelSize(), QSizeF(40, 40));
    // Without a target size corners are rounded at the image's own size.
    EXPECT_EQ(RoundCornerImageProcessor(5).process(ImageProcessItem::image(image), {})->pixelSize(), QSizeF(40, 40));
}

TEST(ImageProcessorTest, BlackWhiteEqualsItsColourControlsUnderAnotherName)
{
    const ImageProcessItem item = ImageProcessItem::data(testimages::encoded(testimages::quadrants(QSize(16, 16)), "png"));
    const BlackWhiteProcessor blackWhite;
    const ColorControlsProcessor controls(0.0, 1.0, 0.0, 0.7);
    EXPECT_EQ(blackWhite.process(item, {})->bitmap(), controls.process(item, {})->bitmap());
    EXPECT_NE(blackWhite.identifier(), controls.identifier());
}

// A processor defined only by its filter: data is decoded, then filtered.
class InvertProcessor : public FilterImageProcessor {
public:
    InvertProcessor() : FilterImageProcessor(QStringLiteral("invert")) {}
    Filter filter() const override
    {
        return Filter([](const QImage& input) {
            QImage output = input.convertToFormat(QImage::Format_RGB32);
            output.invertPixels();
            return std::optional(output);
        });
    }
};

TEST(ImageProcessorTest, FilterProcessorsDecodeDataThenFilter)
{
    const QByteArray png = testimages::encoded(testimages::quadrants(QSize(8, 8)), "png");
    const std::optional<Image> inverted = InvertProcessor().process(ImageProcessItem::data(png), {});
    ASSERT_TRUE(inverted);
    EXPECT_EQ(inverted->bitmap().pixelColor(0, 0), QColor(Qt::cyan));
    EXPECT_FALSE(InvertProcessor().process(ImageProcessItem::data(QByteArray("no image here")), {}));
}

TEST(ImageProcessorTest, LivePhotoAndDownsamplingItems)
{
    const Image image(testimages::quadrants(QSize(400, 200)));
    const LivePhotoImageProcessor livePhoto;
    EXPECT_TRUE(livePhoto.process(ImageProcessItem::image(image), {})->isSameObject(image));
    const std::optional<Image> empty = livePhoto.process(ImageProcessItem::data(QByteArray("anything")), {});
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->hasBitmap());

    const DownsamplingImageProcessor downsampling(QSizeF(100, 100));
    EXPECT_EQ(downsampling.process(ImageProcessItem::image(image), {})->pixelSize(), QSizeF(100, 50));
    EXPECT_EQ(downsampling.process(ImageProcessItem::image(image), withScale(2.0))->pixelSize(), QSizeF(200, 100));
    EXPECT_FALSE(downsampling.process(ImageProcessItem::image(Image()), {}));
}

TEST(ImageProcessorTest, AChainStopsAtTheFirstMissingImage)
{
    int secondRuns = 0;
    const auto failing = std::make_shared<GeneralProcessor>(QStringLiteral("fail"), [](const ImageProcessItem&, const PictorParsedOptionsInfo&) {
        return std::optional<Image>();
    });
    const auto counting = std::make_shared<GeneralProcessor>(QStringLiteral("count"), [&secondRuns](const ImageProcessItem& item, const PictorParsedOptionsInfo&) {
        ++secondRuns;
        return std::optional(*item.asImage());
    });
    EXPECT_FALSE(append(failing, counting)->process(ImageProcessItem::image(Image()), {}));
    EXPECT_EQ(secondRuns, 0);
    EXPECT_TRUE(append(counting, counting)->process(ImageProcessItem::image(Image()), {}));
    EXPECT_EQ(secondRuns, 2);
}

} // namespace
