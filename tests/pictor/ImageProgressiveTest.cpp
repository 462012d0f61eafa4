#include "ImageServer.h"

#include "pictor/processing/ImageProgressive.h"
#include "pictor/processing/ImageProgressiveProvider.h"
#include "pictor/processing/ImageProgressiveSerialQueue.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include <gtest/gtest.h>

using namespace pictor;

namespace {

// Noise compresses badly, so the picture arrives in many chunks.
QImage noise(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = random.generate() | 0xFF000000u;
    }
    return image;
}

QByteArray jpeg(bool progressive)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(progressive);
    writer.setQuality(90);
    writer.write(noise(QSize(320, 240)));
    return bytes;
}

qsizetype scanCount(const QByteArray& data) { return data.count(QByteArray("\xFF\xDA", 2)); }

ImageProgressiveDecoder decoder(bool fastest)
{
    ImageProgressive option;
    option.isFastestScan = fastest;
    return ImageProgressiveDecoder(option, CallbackQueue::untouch(), {});
}

TEST(ImageProgressiveDecoder, FindsEachScanOnce)
{
    auto baseline = decoder(true);
    EXPECT_FALSE(baseline.latestScanPrefix(jpeg(false)));
    EXPECT_EQ(baseline.scannedCount(), 0);
    EXPECT_EQ(baseline.scannedIndex(), -1);

    const QByteArray data = jpeg(true);
    const qsizetype scans = scanCount(data);
    ASSERT_GE(scans, 3);
    const qsizetype secondScan = data.indexOf(QByteArray("\xFF\xDA", 2), data.indexOf(QByteArray("\xFF\xDA", 2)) + 1);

    auto fastest = decoder(true);
    // Up to and including the first byte of the second scan marker: one scan start only.
    EXPECT_FALSE(fastest.latestScanPrefix(data.left(secondScan + 1)));
    EXPECT_EQ(fastest.scannedCount(), 1);
    EXPECT_EQ(fastest.latestScanPrefix(data.left(secondScan + 2)), data.left(secondScan));
    const std::optional<QByteArray> latest = fastest.latestScanPrefix(data);
    ASSERT_TRUE(latest);
    EXPECT_TRUE(data.mid(latest->size()).startsWith("\xFF\xDA"));
    EXPECT_EQ(fastest.scannedCount(), scans);
    EXPECT_FALSE(fastest.latestScanPrefix(data));

    auto every = decoder(false);
    const QList<QByteArray> prefixes = every.newScanPrefixes(data);
    EXPECT_EQ(prefixes.size(), scans - 1);
    EXPECT_EQ(prefixes.first(), data.left(secondScan));
    EXPECT_TRUE(every.newScanPrefixes(data).isEmpty());
}

TEST(ImageProgressiveSerialQueue, RunsUpdatesOnceInOrderAndKeepsOnlyTheNewestWaiting)
{
    auto queue = ImageProgressiveSerialQueue::create();
    QList<int> ran;
    // How often each update calls its notify; the ones added while another waits replace it.
    const QList<int> notifies{3, 1, 2, 1};
    for (int i = 0; i < notifies.size(); ++i) {
        queue->add(0.0, [&ran, i, n = notifies[i]](std::function<void()> notify) {
            ran.append(i);
            for (int k = 0; k < n; ++k)
                notify();
        });
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran.size() == 2; }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(ran, QList<int>({0, 3}));
    EXPECT_EQ(queue->pendingCount(), 0);

    // An update still running when the queue is cleaned reports to nobody; the next one runs.
    std::function<void()> held;
    queue->add(0.0, [&](std::function<void()> notify) { held = std::move(notify); });
    queue->add(0.0, [&](std::function<void()>) { ran.append(99); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(held); }, 5000));
    queue->clean();
    held();
    queue->add(0.0, [&](std::function<void()> notify) {
        ran.append(5);
        notify();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran.last() == 5; }, 5000));
    EXPECT_FALSE(ran.contains(99));
}

TEST(ImageProgressiveProvider, ShowsThrottledScansWhileTheImageArrives)
{
    const QByteArray data = jpeg(true);
    ImageServer server;
    server.routes().Get("/progressive.jpg", [data](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(data.size(), "image/jpeg", [data](size_t offset, size_t, httplib::DataSink& sink) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const size_t length = std::min<size_t>(8192, data.size() - offset);
            return sink.write(data.constData() + offset, length);
        });
    });
    auto progressive = std::make_shared<ImageProgressive>();
    progressive->scanInterval = 0.15;
    PictorParsedOptionsInfo options(QList<PictorOptionsInfoItem>{PictorOptionsInfoItem::progressiveJPEG(progressive)});
    // Shared with the provider, which may outlive a failed test.
    auto refreshes = std::make_shared<QList<qint64>>();
    auto provider = ImageProgressiveProvider::create(options, [refreshes, clock = std::make_shared<QElapsedTimer>()](const Image& image) {
        if (!clock->isValid())
            clock->start();
        EXPECT_EQ(image.size(), QSizeF(320, 240));
        refreshes->append(clock->elapsed());
    });
    const QList<qint64>& refreshedAt = *refreshes;
    ASSERT_TRUE(provider);
    options.onDataReceived = QList<std::shared_ptr<DataReceivingSideEffect>>{provider};

    std::optional<ImageDownloader::ImageResult> final;
    auto downloader = ImageServer::downloader();
    downloader->downloadImage(server.url("/progressive.jpg"), options, [&](auto result) { final = result; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return final.has_value(); }, 20000));
    ASSERT_TRUE(final->isSuccess()) << final->error().what();
    QTest::qWait(300);
    ASSERT_FALSE(refreshedAt.isEmpty());
    EXPECT_LE(refreshedAt.size(), scanCount(data) - 1);
    for (qsizetype i = 1; i < refreshedAt.size(); ++i)
        EXPECT_GE(refreshedAt[i] - refreshedAt[i - 1], 140) << i;
    EXPECT_FALSE(ImageProgressiveProvider::create(PictorParsedOptionsInfo(), [](const Image&) {}));
}

} // namespace
