#include "platform/MediaClipsTest.h"
#include "platform/MediaError.h"
#include "platform/MediaTools.h"

#include <QBuffer>
#include <QCoro/QCoroTask>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <stop_token>

namespace {

using Kind = MediaError::Kind;

// The clips and helpers are MediaClipsTest's (shared with the growing file's check).
class MediaToolsTest : public MediaClipsTest {};

TEST_F(MediaToolsTest, ProbeReadsTheVideoFacts)
{
    const MediaInfo info = tools_.probe(clip(QStringLiteral("clip.mp4")));
    EXPECT_TRUE(info.hasVideoTrack);
    EXPECT_NEAR(info.durationSeconds, 3.0, 0.05);
    EXPECT_EQ(info.naturalSize, QSize(320, 180));
    EXPECT_EQ(info.rotation, 0);
    EXPECT_EQ(info.codecName, QStringLiteral("h264"));
    EXPECT_DOUBLE_EQ(info.frameRate, 30.0);
}

// The natural size stays as stored; rotation and non-square pixels show in the display size and
// in the extracted picture.
TEST_F(MediaToolsTest, RotationAndPixelAspectShapeTheDisplayedPicture)
{
    const MediaInfo rotated = tools_.probe(clip(QStringLiteral("rotated.mp4")));
    EXPECT_EQ(rotated.naturalSize, QSize(320, 180));
    // The tool's "rotate=90" stores a counter-clockwise quarter turn in the display matrix.
    EXPECT_EQ(rotated.rotation, 270);
    EXPECT_EQ(rotated.displaySize(), QSize(180, 320));
    // As players show it, the red top half of the stored picture becomes the left half.
    const QImage upright = tools_.frameAt(clip(QStringLiteral("rotated.mp4")), 1.0);
    ASSERT_EQ(upright.size(), QSize(180, 320));
    EXPECT_TRUE(isRed(upright.pixel(45, 160)));
    EXPECT_FALSE(isRed(upright.pixel(135, 160)));

    EXPECT_EQ(tools_.probe(clip(QStringLiteral("anamorphic.mp4"))).naturalSize, QSize(427, 180));
    EXPECT_EQ(tools_.frameAt(clip(QStringLiteral("anamorphic.mp4")), 1.0).size(), QSize(427, 180));
}

TEST_F(MediaToolsTest, ProbeOfAFileWithoutVideoStillReadsTheDuration)
{
    const MediaInfo info = tools_.probe(clip(QStringLiteral("audio.m4a")));
    EXPECT_FALSE(info.hasVideoTrack);
    EXPECT_NEAR(info.durationSeconds, 1.5, 0.05);
    EXPECT_TRUE(info.naturalSize.isEmpty());
    EXPECT_EQ(failureOf([&] { tools_.frameAt(clip(QStringLiteral("audio.m4a")), 0); }), Kind::noVideoTrack);
}

TEST_F(MediaToolsTest, FrameAtGivesTheFrameShownAtThatInstant)
{
    const QString path = clip(QStringLiteral("clip.mp4"));
    const QImage atTwo = tools_.frameAt(path, 2.0);
    ASSERT_EQ(atTwo.size(), QSize(320, 180));
    EXPECT_EQ(atTwo.format(), QImage::Format_RGB32);
    EXPECT_TRUE(isBlue(atTwo.pixel(160, 45)));
    // The last frame before 2 s (at 1.967 s) is still red, asked for at its own time or just
    // before it, though the keyframe at 2 s is decoded before it; so is the first frame.
    EXPECT_TRUE(isRed(tools_.frameAt(path, 59.0 / 30).pixel(160, 45)));
    EXPECT_TRUE(isRed(tools_.frameAt(path, 1.94).pixel(160, 45)));
    EXPECT_TRUE(isRed(tools_.frameAt(path, 0).pixel(160, 45)));
    EXPECT_TRUE(isRed(tools_.frameAt(path, -4).pixel(160, 45)));

    EXPECT_EQ(tools_.frameAt(path, 2.0, QSize(160, 160)).size(), QSize(160, 90));
}

// The same pictures in other containers give the same frames, though their seeks land
// differently (by decoding time, by byte estimate, some after the wanted keyframe).
TEST_F(MediaToolsTest, FrameAtIsTheSameInEveryContainer)
{
    for (const double seconds : {0.0, 0.5, 0.95, 1.94, 2.0, 9.0}) {
        const QImage expected = tools_.frameAt(clip(QStringLiteral("clip.mp4")), seconds);
        for (const QString& container : {QStringLiteral("ts"), QStringLiteral("mkv"), QStringLiteral("flv")}) {
            SCOPED_TRACE(qPrintable(container + QLatin1Char(' ') + QString::number(seconds)));
            EXPECT_EQ(tools_.frameAt(clip(QStringLiteral("clip.") + container), seconds), expected);
        }
    }
}

TEST_F(MediaToolsTest, FrameAtPastTheEndGivesTheLastFrame)
{
    const QString path = clip(QStringLiteral("clip.mp4"));
    const QImage last = tools_.frameAt(path, 2.96);
    EXPECT_EQ(tools_.frameAt(path, 10.0), last);
    EXPECT_EQ(tools_.frameAt(path, 1e12), last);
    EXPECT_FALSE(tools_.frameAt(path, 2.0) == last);
}

TEST_F(MediaToolsTest, ExportCopiesTheTracksIntoAMovie)
{
    const QString output = folder_.file(QStringLiteral("clip.mov.part"));
    QList<double> progress;
    tools_.exportMovie(clip(QStringLiteral("clip.mp4")), output, [&](double fraction) { progress << fraction; });

    EXPECT_EQ(probeEntry(output, QStringLiteral("format_tags=major_brand")), "qt");
    const MediaInfo info = tools_.probe(output);
    EXPECT_EQ(info.codecName, QStringLiteral("h264"));
    EXPECT_NEAR(info.durationSeconds, tools_.probe(clip(QStringLiteral("clip.mp4"))).durationSeconds, 0.05);
    const QByteArray hashes = videoPacketHashes(output);
    EXPECT_EQ(hashes.count('\n'), 90);
    EXPECT_EQ(hashes, videoPacketHashes(clip(QStringLiteral("clip.mp4"))));
    EXPECT_EQ(probeEntry(output, QStringLiteral("stream=codec_name")), "h264\naac");

    ASSERT_FALSE(progress.isEmpty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.count(1.0), 1);
    EXPECT_EQ(progress.last(), 1.0);
}

TEST_F(MediaToolsTest, ExportKeepsTheRotation)
{
    const QString output = folder_.file(QStringLiteral("rotated.mov"));
    tools_.exportMovie(clip(QStringLiteral("rotated.mp4")), output);
    EXPECT_EQ(tools_.probe(output).rotation, 270);
}

TEST_F(MediaToolsTest, ExportReencodesAVideoTheMovieCannotHold)
{
    for (const QString& name : {QStringLiteral("theora.ogv"), QStringLiteral("vp9.webm")}) {
        SCOPED_TRACE(qPrintable(name));
        const QString output = folder_.file(name + QStringLiteral(".mov"));
        tools_.exportMovie(clip(name), output);
        const MediaInfo info = tools_.probe(output);
        EXPECT_EQ(info.codecName, QStringLiteral("h264"));
        EXPECT_EQ(info.naturalSize, QSize(320, 180));
        EXPECT_NEAR(info.durationSeconds, 3.0, 0.1);
        EXPECT_EQ(probeEntry(output, QStringLiteral("stream=codec_type")), "video");
        EXPECT_TRUE(isBlue(tools_.frameAt(output, 2.0).pixel(160, 45)));
    }
}

TEST_F(MediaToolsTest, AStoppedOrFailedExportLeavesNoFile)
{
    const QString input = clip(QStringLiteral("clip.mp4"));
    const QString output = folder_.file(QStringLiteral("out.mov"));

    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_EQ(failureOf([&] { tools_.exportMovie(input, output, {}, stopped.get_token()); }), Kind::cancelled);
    EXPECT_FALSE(QFile::exists(output));

    // Stopped halfway, from the progress report, after the movie was begun.
    std::stop_source midway;
    const auto stopOnFirstReport = [&](double) { midway.request_stop(); };
    EXPECT_EQ(failureOf([&] { tools_.exportMovie(input, output, stopOnFirstReport, midway.get_token()); }), Kind::cancelled);
    EXPECT_FALSE(QFile::exists(output));

    EXPECT_EQ(failureOf([&] { tools_.exportMovie(clip(QStringLiteral("audio.m4a")), output); }), Kind::noVideoTrack);
    EXPECT_FALSE(QFile::exists(output));

    EXPECT_EQ(failureOf([&] { tools_.exportMovie(input, input); }), Kind::writeFailed);
    EXPECT_TRUE(tools_.probe(input).hasVideoTrack);

    const QString unwritable = folder_.file(QStringLiteral("missing-folder/out.mov"));
    EXPECT_EQ(failureOf([&] { tools_.exportMovie(input, unwritable); }), Kind::writeFailed);
    EXPECT_FALSE(QFile::exists(unwritable));
}

// Damaged or foreign files end in a MediaError (or a best-effort result), never a crash, and a
// failed export leaves nothing behind.
TEST_F(MediaToolsTest, DamagedInputsFailCleanly)
{
    QFile original(clip(QStringLiteral("clip.mp4")));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray clipBytes = original.readAll();
    QByteArray scrambled = clipBytes;
    for (qsizetype i = scrambled.size() / 4; i < scrambled.size() * 3 / 4; i += 7)
        scrambled[i] = char(scrambled[i] ^ 0x5a);
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);

    const struct {
        const char* name;
        QByteArray bytes;
        bool readable;
    } cases[] = {
        {"empty.mp4", {}, false},
        {"text.mp4", "just some words, not a video\n", false},
        {"noise.mp4", noise, false},
        {"first-half.mp4", clipBytes.left(clipBytes.size() / 2), false},
        {"scrambled.mp4", scrambled, true},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        const QString path = folder_.file(QString::fromLatin1(entry.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(entry.bytes);
        file.close();
        const QString output = path + QStringLiteral(".mov");
        if (!entry.readable) {
            EXPECT_EQ(failureOf([&] { tools_.probe(path); }), Kind::unreadable);
            EXPECT_EQ(failureOf([&] { tools_.frameAt(path, 2.0); }), Kind::unreadable);
            EXPECT_EQ(failureOf([&] { tools_.exportMovie(path, output); }), Kind::unreadable);
            continue;
        }
        try {
            tools_.frameAt(path, 2.0);
            tools_.exportMovie(path, output);
        } catch (const MediaError&) {
            EXPECT_FALSE(QFile::exists(output));
        }
    }
    EXPECT_EQ(failureOf([&] { tools_.probe(folder_.file(QStringLiteral("nothing.mp4"))); }), Kind::fileNotFound);
}

// A file cut short keeps its index, so every frame is listed: where the index tells where each
// frame lies, a frame past the end of the file gives it away; where it does not (a fragmented
// movie lists its frames as it reads them, other containers list only some), only reading the
// packets tells a whole video from one that would stop early, or show a broken last frame.
TEST_F(MediaToolsTest, PlaysToEndOnlyWhenEveryPacketIsThere)
{
    const struct {
        const char* name;
        const char* clip;
        qsizetype cutBytes; // taken off the end; -1: half the file
        bool playsToEnd;
    } cases[] = {
        {"index first, whole", "index-first.mp4", 0, true},
        {"index first, cut in its last packet", "index-first.mp4", 8, false},
        {"index first, cut in the middle", "index-first.mp4", -1, false},
        {"fragmented, whole", "fragmented.mp4", 0, true},
        {"fragmented, cut in the middle", "fragmented.mp4", -1, false},
        {"matroska, whole", "clip.mkv", 0, true},
        {"matroska, cut in the middle", "clip.mkv", -1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile original(clip(QString::fromLatin1(c.clip)));
        ASSERT_TRUE(original.open(QIODevice::ReadOnly));
        const QByteArray whole = original.readAll();
        const QString path = folder_.file(QStringLiteral("cut-") + QString::fromLatin1(c.clip));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(whole.left(c.cutBytes < 0 ? whole.size() / 2 : whole.size() - c.cutBytes));
        file.close();
        EXPECT_EQ(tools_.playsToEnd(path), c.playsToEnd);
    }
    // A cut movie still states its full length.
    EXPECT_NEAR(tools_.probe(folder_.file(QStringLiteral("cut-index-first.mp4"))).durationSeconds, 3.0, 0.05);
}

TEST_F(MediaToolsTest, ConvertsAWebpImageToPng)
{
    QImage picture(64, 32, QImage::Format_RGB32);
    picture.fill(Qt::green);
    QByteArray webp;
    QBuffer buffer(&webp);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "webp");
    writer.setQuality(100); // lossless
    ASSERT_TRUE(writer.write(picture)) << qPrintable(writer.errorString());

    const QString output = folder_.file(QStringLiteral("thumbnail.png"));
    tools_.convertImageDataToPng(webp, output);
    QFile written(output);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.read(8).startsWith("\x89PNG"));
    const QImage converted(output);
    EXPECT_EQ(converted.size(), QSize(64, 32));
    EXPECT_EQ(converted.pixel(10, 10), QColor(Qt::green).rgb());

    // An error page instead of an image fails and leaves the previous file whole.
    EXPECT_EQ(failureOf([&] { tools_.convertImageDataToPng("<html>502 Bad Gateway</html>", output); }), Kind::notAnImage);
    EXPECT_EQ(QImage(output).size(), QSize(64, 32));
    EXPECT_EQ(failureOf([&] { tools_.convertImageFileToPng(folder_.file(QStringLiteral("none.webp")), output); }),
        Kind::fileNotFound);
}

// The kind of MediaError a task ends with. QCoro 0.8's waitFor never returns from a task that
// throws, so the error is caught inside a coroutine.
template <typename T>
QCoro::Task<std::optional<Kind>> failureOfTask(QCoro::Task<T> task)
{
    try {
        co_await task;
    } catch (const MediaError& error) {
        co_return error.kind();
    }
    co_return std::nullopt;
}

// The awaitable forms run off the GUI thread and hand back the work's own MediaError.
TEST_F(MediaToolsTest, AsyncFormsReturnResultsAndErrors)
{
    EXPECT_EQ(QCoro::waitFor(tools_.probeAsync(clip(QStringLiteral("clip.mp4")))).naturalSize, QSize(320, 180));
    EXPECT_EQ(QCoro::waitFor(tools_.frameAtAsync(clip(QStringLiteral("clip.mp4")), 2.0)).size(), QSize(320, 180));
    EXPECT_EQ(QCoro::waitFor(failureOfTask(tools_.frameAtAsync(clip(QStringLiteral("audio.m4a")), 2.0))), Kind::noVideoTrack);
    EXPECT_EQ(QCoro::waitFor(failureOfTask(tools_.exportMovieAsync(clip(QStringLiteral("audio.m4a")), folder_.file(QStringLiteral("a.mov"))))),
        Kind::noVideoTrack);
    EXPECT_EQ(QCoro::waitFor(failureOfTask(tools_.convertImageDataToPngAsync("garbage", folder_.file(QStringLiteral("a.png"))))),
        Kind::notAnImage);
}

} // namespace
