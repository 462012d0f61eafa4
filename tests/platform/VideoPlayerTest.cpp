#include "platform/VideoPlayer.h"

#include "foundation/Config.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "platform/MpvLibrary.h"
#include "support/TestHttpsServer.h"

#include "VideoTestClips.h"
#include "platform/VideoFrameBuffer.h"
#include "support/Eventually.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <httplib.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <clocale>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

namespace {

using namespace VideoTestClips;

constexpr int kWaitMs = 15'000;

class VideoPlayerTest : public ::testing::Test {
protected:
    VideoPlayerTest() { player.setTargetSize(QSize(160, 90), 1.0); }

    // Lets frames already on their way arrive, so a count read after it is settled.
    static void settle() { QTest::qWait(400); }

    void playUntilReady(const QUrl& url)
    {
        QSignalSpy ready(&player, &VideoPlayer::ready);
        player.load(url);
        ASSERT_TRUE(ready.wait(kWaitMs));
        ASSERT_EQ(ready.size(), 1);
    }

    VideoPlayer player;
};

TEST_F(VideoPlayerTest, ReportsReadyWithTheClipsFirstFrame)
{
    QSignalSpy errors(&player, &VideoPlayer::error);
    EXPECT_TRUE(player.currentFrame().isNull());
    playUntilReady(loop());

    EXPECT_TRUE(player.isReady());
    const QImage frame = player.currentFrame();
    ASSERT_EQ(frame.size(), QSize(160, 90));
    EXPECT_EQ(frame.format(), QImage::Format_RGB32);
    EXPECT_TRUE(isNear(frame.pixelColor(80, 45), loopColour())) << frame.pixelColor(80, 45).name().toStdString();
    EXPECT_EQ(errors.size(), 0);
}

TEST_F(VideoPlayerTest, FramesAreOpaqueAtAnySize)
{
    // Scaled frames and frames at the video's own size take different conversions.
    playUntilReady(loop());
    for (const QSize size : {QSize(320, 180), QSize(100, 100), QSize(160, 90)}) {
        QSignalSpy frames(&player, &VideoPlayer::frameReady);
        player.setTargetSize(size, 1.0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return player.currentFrame().size() == size; }, kWaitMs));
        // Wait for a frame decoded after the switch, not a redraw of the old one.
        const quint64 decoded = player.frameCount();
        ASSERT_TRUE(QTest::qWaitFor([&] { return player.frameCount() > decoded; }, kWaitMs));
        const QImage frame = player.currentFrame();
        for (const QPoint at : {QPoint(0, 0), QPoint(size.width() / 2, size.height() / 2),
                                QPoint(size.width() - 1, size.height() - 1)}) {
            // Straight from the words, as Qt's blending reads them: the padding byte must be 0xff.
            const QRgb word = reinterpret_cast<const QRgb*>(frame.constScanLine(at.y()))[at.x()];
            EXPECT_EQ(qAlpha(word), 255) << size.width() << "x" << size.height();
            EXPECT_TRUE(isNear(QColor::fromRgb(word), loopColour())) << QColor::fromRgb(word).name().toStdString();
        }
    }
}

TEST_F(VideoPlayerTest, PausingStopsFramesAndResumingRestartsThem)
{
    playUntilReady(loop());
    QSignalSpy paused(&player, &VideoPlayer::pausedChanged);
    player.setPaused(true);
    player.setPaused(true);
    EXPECT_EQ(paused.size(), 1);
    settle();
    const quint64 pausedAt = player.frameCount();
    settle();
    EXPECT_EQ(player.frameCount(), pausedAt);

    QSignalSpy frames(&player, &VideoPlayer::frameReady);
    player.setPaused(false);
    ASSERT_TRUE(frames.wait(kWaitMs));
    EXPECT_GT(player.frameCount(), pausedAt);
}

TEST_F(VideoPlayerTest, APausedFrameIsRedrawnAtANewSize)
{
    playUntilReady(loop());
    player.setPaused(true);
    settle();

    QSignalSpy frames(&player, &VideoPlayer::frameReady);
    player.setTargetSize(QSize(100, 50), 2.0);
    ASSERT_TRUE(frames.wait(kWaitMs));
    const QImage frame = player.currentFrame();
    EXPECT_EQ(frame.size(), QSize(200, 100));
    EXPECT_EQ(frame.devicePixelRatio(), 2.0);
    EXPECT_TRUE(isNear(frame.pixelColor(100, 50), loopColour()));

    // Redrawn, not resumed.
    settle();
    const quint64 shown = player.frameCount();
    settle();
    EXPECT_EQ(player.frameCount(), shown);
}

TEST(VideoPlayerSizeTest, APausedPlayerSizedLateIsStillReady)
{
    // A hidden surface learns its size only when shown; its paused player decoded the first
    // frame before that and will not decode another.
    VideoPlayer player;
    player.setPaused(true);
    QSignalSpy ready(&player, &VideoPlayer::ready);
    player.load(loop());
    QTest::qWait(400);
    EXPECT_EQ(ready.size(), 0);
    player.setTargetSize(QSize(64, 36), 1.0);
    ASSERT_TRUE(ready.wait(kWaitMs));
    EXPECT_EQ(player.currentFrame().size(), QSize(64, 36));
}

TEST_F(VideoPlayerTest, ANewLoadWaitsForItsOwnFirstFrame)
{
    playUntilReady(loop());
    QSignalSpy errors(&player, &VideoPlayer::error);
    // The first of these fails, but it was replaced before it could: only the second counts.
    player.load(missing());
    EXPECT_FALSE(player.isReady());
    playUntilReady(loop());
    settle();
    EXPECT_EQ(errors.size(), 0);
}

TEST(VideoPlayerFrameTest, AKeptFrameOutlivesThePlayer)
{
    auto other = std::make_unique<VideoPlayer>();
    other->setTargetSize(QSize(64, 36), 1.0);
    QSignalSpy ready(other.get(), &VideoPlayer::ready);
    other->load(loop());
    ASSERT_TRUE(ready.wait(kWaitMs));
    const QImage kept = other->currentFrame();
    other.reset();
    // The pixels stay alive as long as an image refers to them.
    EXPECT_TRUE(isNear(kept.pixelColor(32, 18), loopColour()));
}

// What handing frames to the window system whole relies on, at the clip's own size (no scaling)
// and scaled both ways: each frame is drawn straight into one of exactly two buffers, which take
// turns and are never replaced while the size holds, and the pixels drawn are those the buffer's
// memory file holds, which the X server reads.
struct HandOverSize {
    const char* name;
    QSize size;
};

class VideoPlayerHandOverTest : public ::testing::TestWithParam<HandOverSize> {};

TEST_P(VideoPlayerHandOverTest, FramesAlternateBetweenTwoBuffersSharedThroughTheirFile)
{
    const QSize size = GetParam().size;
    VideoPlayer player;
    player.setTargetSize(size, 1.0);
    QSignalSpy ready(&player, &VideoPlayer::ready);
    player.load(loop());
    ASSERT_TRUE(ready.wait(kWaitMs));

    std::vector<const VideoFrameBuffer*> buffers;
    QObject::connect(&player, &VideoPlayer::frameReady, &player, [&] {
        const std::shared_ptr<const VideoFrameBuffer> buffer = player.currentBuffer();
        const QImage frame = player.currentFrame();
        ASSERT_EQ(buffer->size(), size);
        EXPECT_EQ(frame.constBits(), buffer->pixels()) << "a copy of the drawn pixels";
        EXPECT_EQ(frame.bytesPerLine(), buffer->stride());
        QByteArray file(buffer->byteCount(), '\0');
        ASSERT_EQ(pread(buffer->fileDescriptor(), file.data(), size_t(file.size()), 0), file.size());
        EXPECT_EQ(std::memcmp(file.constData(), buffer->pixels(), size_t(file.size())), 0);
        buffers.push_back(buffer.get());
    });
    constexpr size_t kFrames = 8;
    ASSERT_TRUE(QTest::qWaitFor([&] { return buffers.size() >= kFrames; }, kWaitMs));

    for (size_t i = 1; i < buffers.size(); ++i)
        EXPECT_NE(buffers[i], buffers[i - 1]) << "frame " << i << " drawn over the one shown";
    EXPECT_EQ(std::set<const VideoFrameBuffer*>(buffers.begin(), buffers.end()).size(), 2U);
}

INSTANTIATE_TEST_SUITE_P(Sizes, VideoPlayerHandOverTest,
                         ::testing::Values(HandOverSize{"OwnSize", QSize(320, 180)}, HandOverSize{"ScaledUp", QSize(640, 360)},
                                           HandOverSize{"ScaledDownOdd", QSize(101, 57)}),
                         [](const auto& test) { return std::string(test.param.name); });

struct BadVideo {
    const char* name;
    QUrl url;
};

class VideoPlayerFailureTest : public ::testing::TestWithParam<BadVideo> {};

TEST_P(VideoPlayerFailureTest, ReportsAnErrorAndNeverReady)
{
    VideoPlayer player;
    player.setTargetSize(QSize(64, 36), 1.0);
    QSignalSpy errors(&player, &VideoPlayer::error);
    QSignalSpy ready(&player, &VideoPlayer::ready);
    player.load(GetParam().url);
    ASSERT_TRUE(errors.wait(kWaitMs));
    EXPECT_TRUE(errors.first().first().toString().startsWith(QStringLiteral("Could not play ")));
    EXPECT_EQ(ready.size(), 0);
    EXPECT_FALSE(player.isReady());
}

INSTANTIATE_TEST_SUITE_P(Videos, VideoPlayerFailureTest,
                         ::testing::Values(BadVideo{"MissingFile", missing()}, BadVideo{"NotAVideo", notAVideo()},
                                           BadVideo{"UnsupportedScheme", QUrl(QStringLiteral("ftp://example.com/a.mp4"))}),
                         [](const auto& test) { return std::string(test.param.name); });

// A preview read straight from the asset host, whose certificate the program may not trust.
struct RemoteVideo {
    const char* name;
    bool trustTheHostsAuthority; // the configured extra authority signed the host's certificate
    bool plays;
};

class VideoPlayerTrustTest : public ::testing::TestWithParam<RemoteVideo> {};

TEST_P(VideoPlayerTrustTest, PlaysOnlyFromAHostTheProgramTrusts)
{
    QTemporaryDir folder;
    Paths::Override paths(folder.path());
    Config config;
    if (GetParam().trustTheHostsAuthority)
        config.caCertificateFile = TestHttpsServer::certificateFile();
    Shared<Config>::Override configGuard(config);
    QFile clip(loop().toLocalFile());
    ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
    const std::string bytes = clip.readAll().toStdString();
    TestHttpsServer server;
    server.routes().Get("/previewhd.mp4", [&bytes](const httplib::Request&, httplib::Response& response) {
        response.set_content(bytes, "video/mp4");
    });
    server.start();

    VideoPlayer player;
    player.setTargetSize(QSize(64, 36), 1.0);
    QSignalSpy errors(&player, &VideoPlayer::error);
    QSignalSpy ready(&player, &VideoPlayer::ready);
    player.load(server.url(QStringLiteral("/previewhd.mp4")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !errors.isEmpty() || !ready.isEmpty(); }, kWaitMs));
    EXPECT_EQ(ready.size(), GetParam().plays ? 1 : 0);
    EXPECT_EQ(errors.size(), GetParam().plays ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Hosts, VideoPlayerTrustTest,
                         ::testing::Values(RemoteVideo{"ForeignCertificateIsRefused", false, false},
                                           RemoteVideo{"ConfiguredAuthorityIsTrusted", true, true}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(VideoPlayerLibraryTest, OpensTheFirstNameThatLoadsAndNamesEachMissingOne)
{
    const QStringList names = MpvLibrary::libraryNames();
    ASSERT_FALSE(names.isEmpty());
    QString missing;
    EXPECT_NE(MpvLibrary::openFirst(QStringList{QStringLiteral("libquorvelle-absent.so.9")} + names, &missing), nullptr)
        << "the version this build was made against: " << missing.toStdString();

    EXPECT_EQ(MpvLibrary::openFirst({QStringLiteral("libquorvelle-absent.so.9"), QStringLiteral("libquorvelle-gone.so.3")}, &missing), nullptr);
    EXPECT_TRUE(missing.contains(QStringLiteral("libquorvelle-absent.so.9")) && missing.contains(QStringLiteral("libquorvelle-gone.so.3")))
        << missing.toStdString();
}

TEST(VideoPlayerLifetimeTest, DestroyingAtAnyMomentIsClean)
{
    // Gone before mpv saw the command, after its first events, and while frames flow.
    for (int turns : {0, 1, 5, 50}) {
        auto player = std::make_unique<VideoPlayer>();
        player->setTargetSize(QSize(320, 180), 1.0);
        player->load(loop());
        for (int i = 0; i < turns; ++i)
            QTest::qWait(2);
        player.reset();
    }
    QTest::qWait(50);
}

// Threads of the whole process.
int processThreads()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

TEST(VideoPlayerLifetimeTest, PlayersLetGoTogetherLeaveNoThreadsBehind)
{
    const int before = processThreads();
    std::vector<std::unique_ptr<VideoPlayer>> players;
    for (int i = 0; i < 6; ++i) {
        players.push_back(std::make_unique<VideoPlayer>());
        players.back()->setTargetSize(QSize(64, 36), 1.0);
        players.back()->load(loop());
    }
    for (const auto& player : players)
        ASSERT_EVENTUALLY(player->isReady(), kWaitMs);
    EXPECT_GT(processThreads(), before);
    // A page closing lets its players go at once; their teardowns leave no idle threads waiting.
    players.clear();
    ASSERT_EVENTUALLY(processThreads() <= before, 20'000) << processThreads() << " threads, " << before << " before";
}

TEST(VideoPlayerLifetimeTest, TheEndLearnsOfATeardownStillProbingAnEndlessStream)
{
    // A preview whose body never ends: libmpv probes what comes, and its end waits for the probe.
    QTemporaryDir folder;
    Paths::Override paths(folder.path());
    Config config;
    config.caCertificateFile = TestHttpsServer::certificateFile();
    Shared<Config>::Override configGuard(config);
    std::atomic<qint64> sent = 0;
    std::atomic<bool> ending = false;
    TestHttpsServer server;
    server.routes().Get("/endless.mp4", [&](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("video/mp4", [&](size_t, httplib::DataSink& sink) {
            const std::string block(64 * 1024, ' ');
            if (ending || !sink.write(block.data(), block.size()))
                return false;
            sent += qint64(block.size());
            return true;
        });
    });
    server.start();

    auto player = std::make_unique<VideoPlayer>();
    player->setTargetSize(QSize(64, 36), 1.0);
    player->load(server.url(QStringLiteral("/endless.mp4")));
    ASSERT_EVENTUALLY(sent > (qint64(2) << 20), kWaitMs);
    player.reset();
    EXPECT_FALSE(VideoPlayer::waitForTeardowns(0)) << "the end would take the teardown for done";
    ending = true;
    ASSERT_EVENTUALLY(VideoPlayer::waitForTeardowns(0), 60'000);
}

TEST(VideoPlayerLifetimeTest, DestroyingFromItsOwnErrorIsClean)
{
    auto* player = new VideoPlayer;
    QPointer<VideoPlayer> watch(player);
    QObject::connect(player, &VideoPlayer::error, player, [player] { delete player; });
    player->load(missing());
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.isNull(); }, kWaitMs));
}

TEST(VideoPlayerLifetimeTest, APlayerWithoutAnEngineReportsErrors)
{
    // libmpv refuses to start under any numeric locale but "C" (or "C.UTF-8" by that name).
    if (!std::setlocale(LC_NUMERIC, "C.utf8"))
        GTEST_SKIP() << "no C.utf8 locale";
    VideoPlayer player;
    std::setlocale(LC_NUMERIC, "C");

    QSignalSpy errors(&player, &VideoPlayer::error);
    player.setTargetSize(QSize(64, 36), 1.0);
    player.setPaused(true);
    player.load(loop());
    ASSERT_TRUE(errors.wait(kWaitMs));
    EXPECT_TRUE(errors.first().first().toString().contains(QStringLiteral("not available")));
    EXPECT_TRUE(player.currentFrame().isNull());
}

} // namespace
