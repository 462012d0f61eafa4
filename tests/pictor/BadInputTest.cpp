#include "TestImages.h"

#include "pictor/processing/BlurImageProcessor.h"
#include "pictor/processing/DefaultImageProcessor.h"
#include "pictor/processing/DownsamplingImageProcessor.h"
#include "pictor/processing/ImageDecoder.h"

#include <QImageReader>
#include <QRandomGenerator>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace pictor;
using testimages::GifFrame;

namespace {

QByteArray picturePng() { return testimages::encoded(testimages::quadrants(QSize(64, 48)), "png"); }
QByteArray pictureJpeg() { return testimages::encoded(testimages::quadrants(QSize(64, 48)), "jpeg"); }
QByteArray pictureWebp() { return testimages::encoded(testimages::quadrants(QSize(64, 48)), "webp"); }
QByteArray pictureGif() { return testimages::gif(QSize(8, 8), {{QSize(8, 8), 1, 5}, {QSize(8, 8), 2, 5}}); }

QByteArray halved(const QByteArray& bytes) { return bytes.left(bytes.size() / 2); }
// Cut inside the last scan, well past any block before it.
QByteArray cutEnd(const QByteArray& bytes) { return bytes.left(bytes.size() - 60); }

QByteArray jpegDeclaring(quint16 width, quint16 height)
{
    QByteArray jpeg = pictureJpeg();
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    qToBigEndian(height, jpeg.data() + sof + 5);
    qToBigEndian(width, jpeg.data() + sof + 7);
    return jpeg;
}

// A PNG chunk: length, type, data and the checksum of type and data.
QByteArray pngChunk(const QByteArray& type, const QByteArray& data)
{
    QByteArray chunk(4, Qt::Uninitialized);
    qToBigEndian(quint32(data.size()), chunk.data());
    chunk += type + data;
    QByteArray crc(4, Qt::Uninitialized);
    qToBigEndian(testimages::crc32(type + data), crc.data());
    return chunk + crc;
}

// A black PNG of 16-bit RGB channels, which Qt reads into 64-bit pixels.
QByteArray deepPng(quint32 width, quint32 height)
{
    QByteArray header(13, char(0));
    qToBigEndian(width, header.data());
    qToBigEndian(height, header.data() + 4);
    header[8] = 16; // bits a channel
    header[9] = 2;  // RGB
    // Each row: filter type 0, then six zero bytes a pixel. qCompress puts the length first.
    const QByteArray rows(qsizetype(height) * (1 + qsizetype(width) * 6), char(0));
    return QByteArray("\x89PNG\r\n\x1A\n") + pngChunk("IHDR", header) + pngChunk("IDAT", qCompress(rows).mid(4)) + pngChunk("IEND", {});
}

QByteArray withBytes(QByteArray bytes, qsizetype at, const QByteArray& replacement)
{
    bytes.replace(at, replacement.size(), replacement);
    return bytes;
}

struct BadCase {
    const char* name;
    QByteArray data;
    // A phrase the error must give as the reason.
    const char* reason;
};

QList<BadCase> badCases()
{
    QByteArray random(4096, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
    const QByteArray jpeg = pictureJpeg();
    const QByteArray png = picturePng();
    const QByteArray webp = pictureWebp();
    QList<GifFrame> tinyFrames(10000, GifFrame {QSize(1, 1), 1, 2});
    return {
        {"zero bytes", QByteArray(), "no data"},
        {"random bytes", random, "not an image"},
        {"truncated PNG", halved(png), "ends before its IEND"},
        {"corrupt PNG", withBytes(png, png.indexOf("IDAT") + 8, QByteArray(8, char(0x5A))), "PNG data could not be decoded"},
        {"PNG of 30000 x 30000", testimages::pngDeclaring(30000, 30000), "above the decoding cap"},
        {"truncated JPEG", halved(jpeg), "JPEG data ends before"},
        {"truncated JPEG with an EXIF thumbnail",
         cutEnd(testimages::jpegWithExif(testimages::quadrants(QSize(64, 48)), 1, testimages::encoded(testimages::quadrants(QSize(16, 12)), "jpeg"))),
         "JPEG data ends before"},
        {"corrupt JPEG", withBytes(jpeg, jpeg.indexOf("\xFF\xC0") + 4, QByteArray(1, char(3))), "JPEG data could not be decoded"},
        {"JPEG cut inside bytes between its segments",
         jpeg.left(jpeg.indexOf("\xFF\xDB")) + QByteArray("\x00\x11\x22\x33", 4), "JPEG data ends before its first scan"},
        {"JPEG of 30000 x 30000", jpegDeclaring(30000, 30000), "above the decoding cap"},
        {"truncated GIF", pictureGif().left(pictureGif().size() - 12), "ends inside frame 2"},
        {"corrupt GIF", withBytes(pictureGif(), 25, QByteArray(1, char(0x99))), "unknown block"},
        {"GIF of 30000 x 30000", testimages::gif(QSize(30000, 30000), {{QSize(1, 1), 1, 5}}), "above the decoding cap"},
        {"GIF of 10,000 frames", testimages::gif(QSize(100, 100), tinyFrames), "animation of 10000 frames"},
        {"GIF of a million frames of one pixel", testimages::gif(QSize(1, 1), QList<GifFrame>(1000000, GifFrame {QSize(1, 1), 1, 2})),
         "animation of 1000000 frames"},
        {"truncated WebP", halved(webp), "shorter than its RIFF header"},
        {"corrupt WebP", withBytes(webp, 20, QByteArray(16, char(0xFF))), "WebP data could not be decoded"},
    };
}

TEST(BadInputTest, EveryBadInputIsAProcessingErrorThatSaysWhy)
{
    const QList<ImageProcessorPtr> processors = {DefaultImageProcessor::shared(), std::make_shared<BlurImageProcessor>(4),
                                                 std::make_shared<DownsamplingImageProcessor>(QSizeF(32, 32))};
    for (const BadCase& c : badCases()) {
        for (const ImageProcessorPtr& processor : processors) {
            SCOPED_TRACE(std::string(c.name) + " through " + processor->identifier().toStdString());
            // The downsampling path reads only the first frame of a GIF, so the frame count cannot hurt it.
            if (processor == processors[2] && QByteArray(c.name).contains(" frames"))
                continue;
            const Result<Image, PictorError> result = process(*processor, ImageProcessItem::data(c.data), {});
            ASSERT_TRUE(result.isFailure());
            EXPECT_EQ(result.error().reason(), PictorError::Reason::processingFailed);
            EXPECT_TRUE(result.error().errorDescription()->contains(QLatin1String(c.reason))) << result.error().what();
            EXPECT_FALSE(result.error().errorDescription()->contains(QLatin1String("  "))) << result.error().what();
        }
    }
}

TEST(BadInputTest, TheSameFilesWholeDecode)
{
    // Orientation 6: the wide picture is shown turned a quarter clockwise, its top-left (red)
    // quadrant at the top right, its bottom-left (blue) one at the top left.
    const QByteArray turned = testimages::jpegWithExif(testimages::quadrants(QSize(64, 32)), 6, {});
    const Result<Image, PictorError> upright = process(*DefaultImageProcessor::shared(), ImageProcessItem::data(turned), {});
    ASSERT_TRUE(upright.isSuccess()) << upright.error().what();
    EXPECT_EQ(upright.value().bitmap().size(), QSize(32, 64));
    const QImage& shown = upright.value().bitmap();
    EXPECT_TRUE(shown.pixelColor(28, 4).red() > 200 && shown.pixelColor(28, 4).blue() < 60);
    EXPECT_TRUE(shown.pixelColor(4, 4).blue() > 200 && shown.pixelColor(4, 4).red() < 60);

    // Decoders skip fill bytes before a marker and extraneous bytes between segments.
    const QByteArray jpeg = pictureJpeg();
    const qsizetype tables = jpeg.indexOf("\xFF\xDB");
    const QByteArray filled = jpeg.left(tables) + QByteArray(3, char(0xFF)) + jpeg.mid(tables);
    const QByteArray extraneous = jpeg.left(tables) + QByteArray("\x00\x11\xFF\x00\x22", 5) + jpeg.mid(tables);
    for (const QByteArray& data : {picturePng(), jpeg, filled, extraneous, pictureWebp(), pictureGif()}) {
        const Result<Image, PictorError> result = process(*DefaultImageProcessor::shared(), ImageProcessItem::data(data), {});
        ASSERT_TRUE(result.isSuccess()) << result.error().what();
    }
    // Only the first frame of the bomb is wanted: one canvas fits the cap.
    PictorParsedOptionsInfo firstFrame;
    firstFrame.onlyLoadFirstFrame = true;
    const QByteArray bomb = testimages::gif(QSize(100, 100), QList<GifFrame>(10000, GifFrame {QSize(1, 1), 1, 2}));
    const Result<Image, PictorError> first = process(*DefaultImageProcessor::shared(), ImageProcessItem::data(bomb), firstFrame);
    ASSERT_TRUE(first.isSuccess()) << first.error().what();
    EXPECT_EQ(first.value().imageFrameCount(), 10000);
}

TEST(BadInputTest, TheDecodingCapCountsThePixelsReallyDecodedWhateverTheirDepth)
{
    QImage mono(8192, 8192, QImage::Format_Mono);
    mono.fill(0);
    struct Case {
        const char* name;
        QByteArray data;
        QSize decoded; // empty: refused as above the cap
        int maxSide = 0;
    };
    // A GIF whose only frame is one pixel, composed by Qt on the whole logical screen.
    const auto gifOfScreen = [](QSize screen) { return testimages::gif(screen, {GifFrame{QSize(1, 1), 1, 2}}); };
    const QList<Case> cases = {
        {"exactly at the cap", testimages::encoded(mono, "png"), QSize(8192, 8192)},
        {"one row above the cap", testimages::pngDeclaring(8192, 8193), QSize()},
        // Above half the cap, 64-bit pixels weigh more than the cap's 32-bit ones.
        {"16-bit channels above half the cap", deepPng(5800, 5800), QSize(5800, 5800)},
        // A GIF's cap and scale count its logical screen, not its frame.
        {"GIF of a small frame on a screen above the cap", gifOfScreen(QSize(16384, 8192)), QSize(), 256},
        {"GIF of a small frame on a screen within the cap, downsampled", gifOfScreen(QSize(4096, 2048)), QSize(256, 128), 256},
        {"GIF of a screen of no size, which takes the frame's", gifOfScreen(QSize(0, 0)), QSize(1, 1)},
    };
    for (const Case& c : cases) {
        const Result<QImage, QString> result = ImageDecoder::decode(c.data, c.maxSide);
        if (c.decoded.isEmpty()) {
            ASSERT_TRUE(result.isFailure()) << c.name;
            EXPECT_TRUE(result.error().contains(QLatin1String("above the decoding cap"))) << c.name << ": " << result.error().toStdString();
            continue;
        }
        ASSERT_TRUE(result.isSuccess()) << c.name << ": " << result.error().toStdString();
        EXPECT_EQ(result.value().size(), c.decoded) << c.name;
        EXPECT_LE(result.value().depth(), 32) << c.name;
    }
}

} // namespace

TEST(BadInputTest, ADecodeRefusedByALowerAllocationLimitNamesIt)
{
    // Another part of the process lowered Qt's limit to 1 MiB.
    const int atStart = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(1);
    struct Restore {
        int limit;
        ~Restore() { QImageReader::setAllocationLimit(limit); }
    } restore{atStart};
    struct Case {
        const char* name;
        QByteArray data;
        bool refused;
    };
    for (const Case& c : {Case{"16-bit channels, 1.2 MiB", deepPng(400, 400), true},
                          Case{"8-bit channels, 1.4 MiB", testimages::encoded(testimages::quadrants(QSize(600, 600)), "png"), true},
                          Case{"8-bit channels, 0.25 MiB", testimages::encoded(testimages::quadrants(QSize(256, 256)), "png"), false}}) {
        const Result<QImage, QString> result = ImageDecoder::decode(c.data);
        if (!c.refused) {
            EXPECT_TRUE(result.isSuccess()) << c.name << ": " << result.error().toStdString();
            continue;
        }
        ASSERT_TRUE(result.isFailure()) << c.name;
        EXPECT_TRUE(result.error().contains(QLatin1String("image allocation limit of 1 MiB"))) << c.name << ": " << result.error().toStdString();
    }
}

TEST(BadInputTest, QtsAllocationLimitIsSetOnceAtStartAndNoDecodeChangesIt)
{
    // Set when the library was loaded, before any decode: the cap's pixels at 64 bits each.
    const int atStart = QImageReader::allocationLimit();
    EXPECT_EQ(atStart, int(ImageDecoder::maxPixels * 8 / (1024 * 1024)));
    // Another part of the process chose its own: decodes of every kind leave it so.
    QImageReader::setAllocationLimit(atStart / 2);
    for (const QByteArray& data : {picturePng(), pictureJpeg(), pictureGif()})
        EXPECT_TRUE(ImageDecoder::decode(data).isSuccess());
    EXPECT_EQ(QImageReader::allocationLimit(), atStart / 2);
    QImageReader::setAllocationLimit(atStart);
}
