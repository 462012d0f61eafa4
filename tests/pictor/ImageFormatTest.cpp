#include "pictor/processing/ImageFormat.h"
#include "pictor/processing/JpegMarkerScanner.h"

#include <gtest/gtest.h>

using namespace pictor;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

TEST(ImageFormatTest, SignaturesAndTheNineByteMinimum)
{
    const struct {
        QByteArray data;
        ImageFormat format;
    } cases[] = {
        {hex(""), ImageFormat::unknown},
        {hex("89504e470d0a1a0a"), ImageFormat::unknown},
        {hex("89504e470d0a1a0a00"), ImageFormat::PNG},
        {hex("474946380000000000"), ImageFormat::GIF},
        {hex("ffd8ffe00000000000"), ImageFormat::JPEG},
        {hex("ffd8fe000000000000"), ImageFormat::unknown},
        {QByteArray("RIFF\x10\0\0\0WEBPVP8 ", 16), ImageFormat::WebP},
        {QByteArray("RIFF\x10\0\0\0WAVEfmt ", 16), ImageFormat::unknown},
        {QByteArray("\0\0\0\x18" "ftypheic\0\0\0\0", 16), ImageFormat::HEIC},
        {QByteArray("\0\0\0\x18" "ftypmp42\0\0\0\0", 16), ImageFormat::unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data.toHex().toStdString());
        EXPECT_EQ(pt::imageFormat(c.data), c.format);
    }
}

TEST(ImageFormatTest, MarkerSearchIsAPlainPairScanOfJpegData)
{
    const QByteArray jpegWithSof2InApp = hex("ffd8ffe0000600ffc20000");
    const struct {
        const char* name;
        QByteArray data;
        JPEGMarker marker;
        bool found;
    } cases[] = {
        {"PNG data never matches", hex("89504e470d0a1a0a00ffda"), JPEGMarker::Kind::SOS, false},
        {"pair inside a payload counts", jpegWithSof2InApp, JPEGMarker::Kind::SOF2, true},
        {"pair ending at the last byte", hex("ffd8ffe000000000ffd9"), JPEGMarker::Kind::EOI, true},
        {"lone FF at the end", hex("ffd8ffe0000000000000ff"), JPEGMarker::Kind::EOI, false},
        {"restart marker", hex("ffd8ffe0000000000000ffd3"), JPEGMarker::rst(3), true},
        {"restart number past one byte", hex("ffd8ffe0000000000000ffff"), JPEGMarker::rst(48), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(pt::contains(c.data, c.marker), c.found);
        JpegMarkerScanner scanner;
        EXPECT_EQ(scanner.contains(c.data, c.marker), c.found);
    }
}

TEST(JpegMarkerScannerTest, GrowingDataIsScannedOnceAndOtherDataStartsOver)
{
    JpegMarkerScanner scanner;
    QByteArray data = hex("ffd8ffe000000000ff");
    EXPECT_FALSE(scanner.contains(data, JPEGMarker::Kind::SOF2));
    data.append(char(0xC2)); // completes a pair across the previous end
    EXPECT_TRUE(scanner.contains(data, JPEGMarker::Kind::SOF2));
    EXPECT_FALSE(scanner.contains(data, JPEGMarker::Kind::SOS));
    data.append(hex("0000ffda"));
    EXPECT_TRUE(scanner.contains(data, JPEGMarker::Kind::SOS));

    // A new download for the same scanner forgets what the old one held.
    EXPECT_FALSE(scanner.contains(hex("ffd8ffe1000000000000"), JPEGMarker::Kind::SOF2));
}

} // namespace
