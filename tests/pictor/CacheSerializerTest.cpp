#include "TestImages.h"

#include "pictor/cache/DefaultCacheSerializer.h"
#include "pictor/cache/FormatIndicatedCacheSerializer.h"
#include "pictor/processing/ImageCoding.h"
#include "pictor/processing/ImageFormat.h"

#include <gtest/gtest.h>

using namespace pictor;

namespace {

const QImage picture = testimages::quadrants(QSize(32, 24));
const QByteArray pngBytes = testimages::encoded(picture, "png");
const QByteArray jpegBytes = testimages::encoded(picture, "jpeg");
const QByteArray gifData = testimages::gif(QSize(8, 8), {{QSize(8, 8), 1, 5}, {QSize(8, 8), 2, 5}});

enum class Source { still, animatedGif, noBitmap };
enum class Expect { png, jpeg, sameGif, originalBytes, nothing };

struct SerializerCase {
    const char* name;
    std::shared_ptr<const CacheSerializer> serializer;
    Source image;
    std::optional<QByteArray> original;
    Expect expect;
};

class CacheSerializerCases : public ::testing::TestWithParam<SerializerCase> {};

Image makeImage(Source source)
{
    switch (source) {
    case Source::still:
        return Image(picture);
    case Source::animatedGif:
        return *pt::image(gifData, {});
    case Source::noBitmap:
        return Image();
    }
    return Image();
}

TEST_P(CacheSerializerCases, StoredBytes)
{
    const SerializerCase& c = GetParam();
    const std::optional<QByteArray> data = c.serializer->data(makeImage(c.image), c.original);
    switch (c.expect) {
    case Expect::png:
        ASSERT_TRUE(data);
        EXPECT_EQ(pt::imageFormat(*data), ImageFormat::PNG);
        break;
    case Expect::jpeg:
        ASSERT_TRUE(data);
        EXPECT_EQ(pt::imageFormat(*data), ImageFormat::JPEG);
        EXPECT_NE(*data, jpegBytes) << "a new encoding, not the original";
        break;
    case Expect::sameGif:
        EXPECT_EQ(data, gifData);
        break;
    case Expect::originalBytes:
        EXPECT_EQ(data, c.original);
        break;
    case Expect::nothing:
        EXPECT_FALSE(data);
        break;
    }
}

const auto preferOriginal = std::make_shared<const DefaultCacheSerializer>(1.0, true);

INSTANTIATE_TEST_SUITE_P(
    Serializers, CacheSerializerCases,
    ::testing::Values(
        SerializerCase {"defaultNoOriginalIsPng", DefaultCacheSerializer::shared(), Source::still, {}, Expect::png},
        SerializerCase {"defaultJpegOriginalReencoded", DefaultCacheSerializer::shared(), Source::still, jpegBytes, Expect::jpeg},
        SerializerCase {"defaultPngOriginalIsPng", DefaultCacheSerializer::shared(), Source::still, pngBytes, Expect::png},
        SerializerCase {"defaultGifKeepsItsBytes", DefaultCacheSerializer::shared(), Source::animatedGif, gifData, Expect::sameGif},
        SerializerCase {"defaultStillFromGifIsPng", DefaultCacheSerializer::shared(), Source::still, gifData, Expect::png},
        SerializerCase {"preferOriginalKeepsIt", preferOriginal, Source::still, jpegBytes, Expect::originalBytes},
        SerializerCase {"preferOriginalWithoutOneIsPng", preferOriginal, Source::still, {}, Expect::png},
        SerializerCase {"noBitmapGivesNothing", DefaultCacheSerializer::shared(), Source::noBitmap, {}, Expect::nothing},
        SerializerCase {"pngWhateverTheOriginal", FormatIndicatedCacheSerializer::png(), Source::still, jpegBytes, Expect::png},
        SerializerCase {"jpegFixed", FormatIndicatedCacheSerializer::jpeg(), Source::still, pngBytes, Expect::jpeg},
        SerializerCase {"gifStillWithPngOriginal", FormatIndicatedCacheSerializer::gif(), Source::still, pngBytes, Expect::png},
        SerializerCase {"gifStillWithGifOriginal", FormatIndicatedCacheSerializer::gif(), Source::still, gifData, Expect::originalBytes},
        SerializerCase {"gifStillWithoutOriginal", FormatIndicatedCacheSerializer::gif(), Source::still, {}, Expect::png}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CacheSerializer, JpegQualityIsApplied)
{
    const QImage noisy = testimages::quadrants(QSize(256, 256));
    const auto low = FormatIndicatedCacheSerializer::jpeg(0.2)->data(Image(noisy), std::nullopt);
    const auto high = FormatIndicatedCacheSerializer::jpeg()->data(Image(noisy), std::nullopt);
    ASSERT_TRUE(low && high);
    EXPECT_LT(low->size(), high->size());
}

TEST(CacheSerializer, DecodesWithTheOptionsFirstFrameSetting)
{
    PictorParsedOptionsInfo options;
    const auto animated = DefaultCacheSerializer::shared()->image(gifData, options);
    ASSERT_TRUE(animated && animated->animationFrames());
    EXPECT_EQ(animated->animationFrames()->size(), 2);
    options.onlyLoadFirstFrame = true;
    const auto first = DefaultCacheSerializer::shared()->image(gifData, options);
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->animationFrames());
    EXPECT_FALSE(DefaultCacheSerializer::shared()->image("garbage bytes", options));
}

} // namespace
