#include "ProviderTestSupport.h"
#include "TestImages.h"

#include "pictor/retrieval/AVAssetImageDataProvider.h"
#include "pictor/retrieval/Base64ImageDataProvider.h"
#include "pictor/processing/ImageFormat.h"
#include "pictor/retrieval/LocalFileImageDataProvider.h"
#include "pictor/retrieval/LocalImageFile.h"
#include "pictor/retrieval/PHPickerResultImageDataProvider.h"
#include "pictor/retrieval/RawImageDataProvider.h"
#include "pictor/retrieval/Resource.h"
#include "pictor/retrieval/ThumbnailImageDataProvider.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace pictor;
using Reason = ImageDataProviderError::Reason;

class ImageDataProviderTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }
    // A 64x32 H.264 clip of 3 s, its track marked as turned by a quarter.
    QString rotatedClip()
    {
        const QString plain = folder.filePath(QStringLiteral("plain.mp4")), rotated = folder.filePath(QStringLiteral("rotated.mp4"));
        EXPECT_TRUE(ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x32:duration=3:rate=10,hue=h=t*120", "-c:v", "libx264", "-pix_fmt", "yuv420p", plain}));
        EXPECT_TRUE(ffmpeg({"-i", plain, "-c", "copy", "-metadata:s:v:0", "rotate=90", rotated}));
        return rotated;
    }

    QString pipe(const QString& name)
    {
        const QString path = folder.filePath(name);
        EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        return path;
    }

    QTemporaryDir folder;
};

TEST_F(ImageDataProviderTest, KeysAndContentUrls)
{
    const QUrl remote(QStringLiteral("https://host/clip.mp4"));
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/videos/clip.mp4"));
    EXPECT_EQ(ThumbnailImageDataProvider(remote, 200, false).cacheKey(), remote.toString() + QStringLiteral("_thumb_200.0_false"));
    ThumbnailImageDataProvider thumbnail(remote, 200);
    thumbnail.setMaxPixelSize(300);
    EXPECT_EQ(thumbnail.cacheKey(), remote.toString() + QStringLiteral("_thumb_200.0_true"));
    EXPECT_EQ(thumbnail.contentURL(), std::nullopt);
    EXPECT_EQ(AVAssetImageDataProvider(remote, 1.5).cacheKey(), remote.toString() + QStringLiteral("_1.5"));
    EXPECT_EQ(AVAssetImageDataProvider(file, 2).cacheKey(), localFileCacheKey(file) + QStringLiteral("_2.0"));
    EXPECT_EQ(LocalFileImageDataProvider(file).cacheKey(), localFileCacheKey(file));
    EXPECT_EQ(LocalFileImageDataProvider(file).contentURL(), file);
    EXPECT_EQ(PHPickerResultImageDataProvider({QStringLiteral("asset-1"), file, {}}, QStringLiteral("public.jpeg")).cacheKey(),
              QStringLiteral("asset-1_public.jpeg"));
    // Without a stable name every read gives a new key.
    const PHPickerResultImageDataProvider unnamed({std::nullopt, file, {}}, QStringLiteral("public.jpeg"));
    EXPECT_NE(unnamed.cacheKey(), unnamed.cacheKey());
    const AVAssetImageDataProvider noAsset(AssetImageGenerator::create(QUrl()), 1);
    EXPECT_NE(noAsset.cacheKey(), noAsset.cacheKey());
}

TEST_F(ImageDataProviderTest, InMemoryAndUntouchedLoadsAnswerBeforeReturning)
{
    const QString path = write(QStringLiteral("a.bin"), "bytes");
    bool answered = false;
    RawImageDataProvider(QByteArray("raw"), QStringLiteral("k")).data([&](ImageDataProvider::DataResult) { answered = true; });
    EXPECT_TRUE(answered);
    answered = false;
    LocalFileImageDataProvider(QUrl::fromLocalFile(path), std::nullopt, CallbackQueue::untouch()).data([&](ImageDataProvider::DataResult r) {
        answered = r.isSuccess() && r.value() == "bytes";
    });
    EXPECT_TRUE(answered);
    answered = false;
    LocalFileImageDataProvider(QUrl::fromLocalFile(path), std::nullopt, CallbackQueue::mainAsync()).data([&](ImageDataProvider::DataResult) { answered = true; });
    EXPECT_FALSE(answered);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 5000));
}

TEST_F(ImageDataProviderTest, Base64IsDecodedStrictly)
{
    const auto decode = [](const char* text) { return loadData(Base64ImageDataProvider(QString::fromUtf8(text), QStringLiteral("k"))); };
    ASSERT_TRUE(decode("aGVsbG8=").isSuccess());
    EXPECT_EQ(decode("aGVsbG8=").value(), "hello");
    for (const char* bad : {"aGVs\nbG8=", "not base64!", "aGVsbG8=é"}) {
        const auto result = decode(bad);
        ASSERT_TRUE(result.isFailure()) << bad;
        EXPECT_EQ(result.error().reason(), Reason::invalidBase64);
    }
}

namespace {

bool isBlue(QRgb pixel) { return qBlue(pixel) > 200 && qRed(pixel) < 60 && qGreen(pixel) < 60; }

} // namespace

TEST_F(ImageDataProviderTest, ThumbnailsKeepTheFormatStayUprightAndNeverGrow)
{
    const QImage wide = testimages::quadrants(QSize(400, 200));
    // Orientation 6: the picture is shown turned a quarter clockwise.
    const QString turned = write(QStringLiteral("turned.jpg"), testimages::jpegWithExif(wide, 6, testimages::encoded(testimages::quadrants(QSize(40, 20)), "jpeg")));
    struct Case {
        QString path;
        double maxPixelSize;
        bool always;
        ImageFormat format;
        QSize expected;
    };
    for (const Case& c : {Case{write(QStringLiteral("wide.png"), testimages::encoded(wide, "png")), 100, true, ImageFormat::PNG, QSize(100, 50)},
                          Case{write(QStringLiteral("wide.jpg"), testimages::encoded(wide, "jpeg")), 100, true, ImageFormat::JPEG, QSize(100, 50)},
                          Case{write(QStringLiteral("large.png"), testimages::encoded(wide, "png")), 1000, true, ImageFormat::PNG, QSize(400, 200)},
                          Case{turned, 100, true, ImageFormat::JPEG, QSize(50, 100)},
                          // The embedded thumbnail, turned like the picture.
                          Case{turned, 100, false, ImageFormat::JPEG, QSize(20, 40)}}) {
        const auto result = loadData(ThumbnailImageDataProvider(QUrl::fromLocalFile(c.path), c.maxPixelSize, c.always));
        ASSERT_TRUE(result.isSuccess()) << result.error().what();
        EXPECT_EQ(pt::imageFormat(result.value()), c.format);
        const QImage thumbnail = QImage::fromData(result.value());
        EXPECT_EQ(thumbnail.size(), c.expected) << c.path.toStdString() << " " << c.maxPixelSize;
        // Red was top left; turned a quarter clockwise, blue (bottom left) is.
        if (c.path == turned) {
            EXPECT_TRUE(isBlue(thumbnail.pixel(2, 2))) << c.always;
        }
    }
}

TEST_F(ImageDataProviderTest, BadThumbnailRequestsFailWithTheirReason)
{
    const QString text = write(QStringLiteral("notes.png"), "not an image at all");
    const QString image = write(QStringLiteral("image.png"), testimages::encoded(testimages::quadrants(QSize(8, 8)), "png"));
    // 81 megapixels declared: refused before a pixel is read, as the still decoder refuses it.
    const QString huge = write(QStringLiteral("huge.png"), testimages::pngDeclaring(9000, 9000));
    struct Case {
        QUrl url;
        double size;
        Reason reason;
        QString says = {};
    };
    for (const Case& c : {Case{QUrl(QStringLiteral("https://host/a.png")), 100, Reason::emptySource},
                          Case{QUrl(), 100, Reason::emptySource},
                          Case{QUrl::fromLocalFile(folder.filePath(QStringLiteral("missing.png"))), 100, Reason::invalidImageSource},
                          Case{QUrl::fromLocalFile(text), 100, Reason::invalidImageSource},
                          Case{QUrl::fromLocalFile(image), 0, Reason::invalidThumbnail},
                          Case{QUrl::fromLocalFile(huge), 100, Reason::invalidImageSource, QStringLiteral("above the decoding cap")}}) {
        const auto result = loadData(ThumbnailImageDataProvider(c.url, c.size));
        ASSERT_TRUE(result.isFailure()) << c.url.toString().toStdString();
        EXPECT_EQ(result.error().reason(), c.reason) << c.url.toString().toStdString() << ": " << result.error().what();
        EXPECT_TRUE(QString::fromUtf8(result.error().what()).contains(c.says)) << result.error().what();
    }
    // Asked for the thumbnail the file carries, of files that carry none or a damaged one.
    const QImage picture = testimages::quadrants(QSize(40, 20));
    for (const QString& path : {image, write(QStringLiteral("plain.jpg"), testimages::encoded(picture, "jpeg")),
                                write(QStringLiteral("damaged.jpg"), testimages::jpegWithExif(picture, 1, "not a jpeg"))})
        EXPECT_EQ(loadData(ThumbnailImageDataProvider(QUrl::fromLocalFile(path), 100, false)).error().reason(), Reason::invalidThumbnail)
            << path.toStdString();
}

TEST_F(ImageDataProviderTest, VideoFrameIsTheFrameShownAtTheTimeTurnedUpright)
{
    const QString clip = rotatedClip();
    const QString reference = folder.filePath(QStringLiteral("reference.png"));
    ASSERT_TRUE(ffmpeg({"-ss", "2", "-i", clip, "-frames:v", "1", reference}));
    const auto result = loadData(AVAssetImageDataProvider(QUrl::fromLocalFile(clip), 2));
    ASSERT_TRUE(result.isSuccess()) << result.error().what();
    EXPECT_EQ(pt::imageFormat(result.value()), ImageFormat::JPEG);
    const QImage frame = QImage::fromData(result.value());
    EXPECT_EQ(frame.size(), QSize(32, 64));
    EXPECT_LT(meanDifference(frame, QImage(reference)), 12);
    // An earlier frame differs: the time was honoured.
    const auto early = loadData(AVAssetImageDataProvider(QUrl::fromLocalFile(clip), 0.5));
    ASSERT_TRUE(early.isSuccess());
    EXPECT_GT(meanDifference(QImage::fromData(early.value()), QImage(reference)), 12);
}

TEST_F(ImageDataProviderTest, VideoFramesThatCannotBeMadeFailWithTheirReason)
{
    // A WAV file: sound only.
    QByteArray wav("RIFF");
    const QByteArray samples(8000, '\0');
    const auto le32 = [](quint32 v) { return QByteArray::fromRawData(reinterpret_cast<const char*>(&v), 4); };
    wav += le32(36 + samples.size()) + "WAVEfmt " + le32(16) + QByteArray::fromHex("01000100401f0000401f000001000800") + "data"
        + le32(samples.size()) + samples;
    struct Case {
        QString path;
        Reason reason;
    };
    for (const Case& c : {Case{write(QStringLiteral("sound.wav"), wav), Reason::generatorError},
                          Case{write(QStringLiteral("fake.mp4"), QByteArray("\0\0\0\x18" "ftypmp42 not a movie", 24)), Reason::generatorError},
                          Case{folder.filePath(QStringLiteral("missing.mp4")), Reason::generatorError},
                          // Would hold the worker for good if it were opened as a file.
                          Case{pipe(QStringLiteral("pipe.mp4")), Reason::generatorError}}) {
        const auto result = loadData(AVAssetImageDataProvider(QUrl::fromLocalFile(c.path), 1));
        ASSERT_TRUE(result.isFailure()) << c.path.toStdString();
        EXPECT_EQ(result.error().reason(), c.reason);
    }
    const auto generator = AssetImageGenerator::create(QUrl::fromLocalFile(rotatedClip()));
    std::optional<AssetImageGenerator::Generated> cancelled;
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(generator->copyImage(1, stop.get_token()).outcome, AssetImageGenerator::Outcome::cancelled);
}

TEST_F(ImageDataProviderTest, PickerItemsDeliverTheirFileInAnOfferedType)
{
    const QString path = write(QStringLiteral("picked.jpg"), "jpeg bytes");
    const PickerResult item{QStringLiteral("asset"), QUrl::fromLocalFile(path), {QStringLiteral("public.jpeg")}};
    const auto good = loadData(PHPickerResultImageDataProvider(item, QStringLiteral("public.jpeg")));
    ASSERT_TRUE(good.isSuccess());
    EXPECT_EQ(good.value(), "jpeg bytes");
    EXPECT_EQ(loadData(PHPickerResultImageDataProvider(item, QStringLiteral("public.png"))).error().reason(), Reason::pickerProviderError);
    const PickerResult empty{std::nullopt, QUrl::fromLocalFile(write(QStringLiteral("empty.jpg"), "")), {QStringLiteral("public.jpeg")}};
    EXPECT_EQ(loadData(PHPickerResultImageDataProvider(empty, QStringLiteral("public.jpeg"))).error().reason(), Reason::invalidImage);
}

// A pipe would block the reading worker for good and a file above the bound fill the memory:
// each provider that reads a named file refuses both unread.
TEST_F(ImageDataProviderTest, NamedFilesAreReadOnlyWhenRegularAndBounded)
{
    const QString fifo = pipe(QStringLiteral("pipe.png"));
    const QString oversized = folder.filePath(QStringLiteral("oversized.png"));
    {
        QFile file(oversized);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(LocalImageFile::kMaximumBytes + 1)); // sparse: takes no disk
    }
    struct Case {
        QString path;
        QString detail;
    };
    for (const Case& c : {Case{fifo, QStringLiteral("is not a file")},
                          Case{oversized, QStringLiteral("more than the %1 read").arg(LocalImageFile::kMaximumBytes)}}) {
        const QUrl url = QUrl::fromLocalFile(c.path);
        const PickerResult item{QStringLiteral("asset"), url, {QStringLiteral("public.png")}};
        struct Outcome {
            ImageDataProvider::DataResult result;
            Reason reason;
        };
        for (const Outcome& o : {Outcome{loadData(LocalFileImageDataProvider(url)), Reason::fileReadFailed},
                                 Outcome{loadData(PHPickerResultImageDataProvider(item, QStringLiteral("public.png"))), Reason::pickerProviderError},
                                 Outcome{loadData(ThumbnailImageDataProvider(url, 100)), Reason::invalidImageSource}}) {
            ASSERT_TRUE(o.result.isFailure()) << c.path.toStdString();
            EXPECT_EQ(o.result.error().reason(), o.reason) << c.path.toStdString();
            EXPECT_TRUE(o.result.error().detail().contains(c.detail)) << o.result.error().detail().toStdString();
        }
    }
}

// A path that a swapper keeps pointing at a regular file and at a pipe: every read returns, with
// the file's bytes or the refusal, however the swaps fall between its steps.
TEST_F(ImageDataProviderTest, ANamedFileSwappedForAPipeNeverBlocksTheReader)
{
    const QByteArray name = QFile::encodeName(folder.filePath(QStringLiteral("swapped.png")));
    const QByteArray fifo = QFile::encodeName(pipe(QStringLiteral("pipe")));
    const QByteArray regular = QFile::encodeName(write(QStringLiteral("regular"), "picture bytes"));
    const QByteArray staging = QFile::encodeName(folder.filePath(QStringLiteral("staging")));
    ASSERT_EQ(::link(regular.constData(), name.constData()), 0);
    std::atomic<bool> swapping = true;
    std::thread swapper([&] {
        for (bool toPipe = true; swapping; toPipe = !toPipe) {
            ::unlink(staging.constData());
            ::link((toPipe ? fifo : regular).constData(), staging.constData());
            ::rename(staging.constData(), name.constData());
        }
    });
    constexpr int kReads = 2000;
    std::atomic<int> delivered = 0, refused = 0, other = 0;
    QString firstOther;
    std::thread reader([&] {
        for (int i = 0; i < kReads; ++i) {
            const Result<QByteArray, QString> bytes = LocalImageFile::read(QFile::decodeName(name));
            if (bytes.isSuccess() && bytes.value() == "picture bytes")
                ++delivered;
            else if (bytes.isFailure() && bytes.error().contains(QStringLiteral("is not a file")))
                ++refused;
            else if (++other == 1)
                firstOther = bytes.isFailure() ? bytes.error() : QString::fromUtf8(bytes.value());
        }
    });
    const bool returned = QTest::qWaitFor([&] { return delivered + refused + other == kReads; }, 30000);
    swapping = false;
    swapper.join();
    // A reader caught waiting on the pipe is let go by a writer, so that the test can end.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        if (const int writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); writer >= 0)
            ::close(writer);
        return delivered + refused + other == kReads;
    }, 30000));
    reader.join();
    EXPECT_TRUE(returned) << "a read waited on the pipe";
    EXPECT_EQ(other, 0) << firstOther.toStdString();
}
