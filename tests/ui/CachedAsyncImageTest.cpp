#include "Screenshot.h"
#include "engine/WallpaperImageCache.h"
#include "foundation/Config.h"
#include "foundation/Shared.h"
#include "support/HeldWorkerPool.h"
#include "support/TempFolder.h"
#include "support/TestHttpsServer.h"
#include "ui/CachedAsyncImage.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <functional>
#include <memory>

namespace {

const QColor kPlaceholder(60, 60, 60);

// Smooth scaling may move a channel by a step or two.
bool near(QColor actual, QColor expected)
{
    return std::abs(actual.red() - expected.red()) + std::abs(actual.green() - expected.green())
        + std::abs(actual.blue() - expected.blue()) <= 6;
}

// 40×40: left half red, right half blue.
QByteArray halvesPng()
{
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter(&image).fillRect(20, 0, 20, 40, Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

// What a card does: its own placeholder until the picture is there.
class PosterHost : public QWidget {
public:
    PosterHost(WallpaperImageCache& cache) : image(new CachedAsyncImage(this, cache, {10, 1, 5})) { resize(200, 100); }
    CachedAsyncImage* image;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (!image->paint(painter, rect()))
            painter.fillRect(rect(), kPlaceholder);
    }
};

class CachedAsyncImageTest : public ::testing::Test {
protected:
    CachedAsyncImageTest()
    {
        config_.caCertificateFile = TestHttpsServer::certificateFile();
        auto& routes = server_.routes();
        routes.Get("/halves/poster.png", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(png_.constData(), size_t(png_.size()), "image/png");
        });
        routes.Get("/garbage/poster.png", [this](const httplib::Request&, httplib::Response& res) {
            ++garbageRequests_;
            res.set_content("GIF89a but not really", "image/gif");
        });
        // Unavailable for the first ten requests, then fine.
        routes.Get("/later/poster.png", [this](const httplib::Request&, httplib::Response& res) {
            if (++laterRequests_ <= 10) {
                res.status = 503;
                return;
            }
            res.set_content(png_.constData(), size_t(png_.size()), "image/png");
        });
        routes.Get("/slow/poster.png", [this](const httplib::Request&, httplib::Response& res) {
            server_.waitForShutdown(500);
            res.set_content(png_.constData(), size_t(png_.size()), "image/png");
            slowServed_ = true;
        });
        server_.start();
        host_.show();
    }

    QUrl url(const char* path) const { return server_.url(QString::fromLatin1(path)); }
    QColor shownAt(int x, int y) { return host_.grab().toImage().pixelColor(x, y); }
    bool waitForImage() { return QTest::qWaitFor([this] { return host_.image->hasImage(); }, 10'000); }

    TempFolder temp_;
    Config config_;
    Shared<Config>::Override configGuard_{config_};
    WallpaperImageCache cache_;
    const QByteArray png_ = halvesPng();
    std::atomic<int> laterRequests_ = 0;
    std::atomic<int> garbageRequests_ = 0;
    std::atomic<bool> slowServed_ = false;
    TestHttpsServer server_;
    PosterHost host_{cache_};
};

TEST_F(CachedAsyncImageTest, ThePlaceholderShowsUntilThePictureFillsTheFrame)
{
    host_.image->setUrl(url("/halves/poster.png"));
    EXPECT_EQ(shownAt(100, 50), kPlaceholder);
    saveScreenshot(host_, QStringLiteral("image-view-loading"));
    ASSERT_TRUE(waitForImage());
    // Scaled by 5 to fill 200 wide; the rows beyond 100 are cut off, the halves stay halves.
    const QImage shown = saveScreenshot(host_, QStringLiteral("image-view-shown"));
    for (const QPoint& point : {QPoint(2, 2), QPoint(90, 97), QPoint(2, 97)})
        EXPECT_TRUE(near(shown.pixelColor(point), Qt::red)) << point.x() << "," << point.y();
    for (const QPoint& point : {QPoint(110, 2), QPoint(197, 97)})
        EXPECT_TRUE(near(shown.pixelColor(point), Qt::blue)) << point.x() << "," << point.y();
}

TEST_F(CachedAsyncImageTest, ANewAddressNeverShowsThePreviousPicture)
{
    host_.image->setUrl(url("/halves/poster.png"));
    ASSERT_TRUE(waitForImage());
    host_.image->setUrl(url("/slow/poster.png"));
    EXPECT_FALSE(host_.image->hasImage());
    EXPECT_EQ(shownAt(100, 50), kPlaceholder);
    ASSERT_TRUE(waitForImage());

    // Back to a cached address: shown at once, from memory.
    host_.image->setUrl(url("/halves/poster.png"));
    EXPECT_TRUE(host_.image->hasImage());
    host_.image->setUrl(QUrl());
    EXPECT_EQ(shownAt(100, 50), kPlaceholder);
}

// A picture still being decoded off the GUI thread when the view was given another address is
// dropped when the decode ends: it never replaces the picture the view shows now.
TEST_F(CachedAsyncImageTest, APictureDecodedAfterTheAddressChangedIsNeverShown)
{
    QImage green(40, 40, QImage::Format_RGB32);
    green.fill(Qt::green);
    const QUrl stored = url("/halves/poster.png");
    const QUrl current = url("/green/poster.png");
    {
        // On disk from an earlier run, not in memory: it is read and decoded on a worker.
        QImage halves;
        ASSERT_TRUE(halves.loadFromData(png_));
        cache_.store(halves, stored);
        cache_.waitForDiskWrites();
        cache_.clearMemory();
    }
    cache_.keep(green, current);

    auto held = std::make_unique<HeldWorkerPool>();
    host_.image->setUrl(stored);
    host_.image->setUrl(current);
    ASSERT_TRUE(host_.image->hasImage());
    held.reset(); // the decode of the first address ends now
    QThreadPool::globalInstance()->waitForDone();
    for (int turn = 0; turn < 5; ++turn) // its continuation runs on the GUI thread
        QCoreApplication::processEvents();
    EXPECT_TRUE(near(shownAt(50, 50), Qt::green));
    EXPECT_TRUE(near(shownAt(150, 50), Qt::green));
}

TEST_F(CachedAsyncImageTest, BadPicturesAndSizesLeaveThePlaceholder)
{
    host_.image->setUrl(url("/garbage/poster.png"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return garbageRequests_ == 10; }, 10'000));
    EXPECT_EQ(shownAt(1, 1), kPlaceholder);
    for (const QSize& size : {QSize(0, 0), QSize(1, 1), QSize(5000, 1)}) {
        host_.resize(size);
        host_.grab();
    }
    QImage canvas(10, 10, QImage::Format_RGB32);
    QPainter painter(&canvas);
    EXPECT_FALSE(host_.image->paint(painter, QRectF(0, 0, -4, 10)));
}

TEST_F(CachedAsyncImageTest, APictureThatGaveUpIsTriedAgainWhenItsViewComesBack)
{
    host_.image->setUrl(url("/later/poster.png"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return laterRequests_ == 10; }, 10'000));
    EXPECT_FALSE(host_.image->hasImage());
    // Coming on screen again while the last attempt still runs changes nothing; after it, it retries.
    ASSERT_TRUE(QTest::qWaitFor(
        [this] {
            host_.hide();
            host_.show();
            return host_.image->hasImage();
        },
        10'000));
    EXPECT_EQ(laterRequests_, 11);
}

TEST_F(CachedAsyncImageTest, OffTheScreenOnlyThePaintedCopyStaysAndStandsInUntilThePictureIsBack)
{
    // How the view leaves the screen, and whether it lets its full picture go.
    struct Case {
        const char* how;
        std::function<void(QWidget& page, PosterHost& view)> leave;
        bool released;
    };
    const Case cases[] = {
        {"its page is hidden", [](QWidget& page, PosterHost&) { page.hide(); }, true},
        {"the view is hidden", [](QWidget&, PosterHost& view) { view.hide(); }, true},
        {"hidden and shown again at once", [](QWidget&, PosterHost& view) { view.hide(); view.show(); }, false},
    };
    for (const Case& test : cases) {
        cache_.clearMemory();
        QWidget page;
        auto* view = new PosterHost(cache_);
        view->setParent(&page);
        page.resize(view->size());
        page.show();
        view->image->setUrl(url("/halves/poster.png"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !view->image->image().isNull(); }, 10'000)) << test.how;
        view->grab();
        QImage full = view->image->image();
        cache_.waitForDiskWrites();

        test.leave(page, *view);
        QCoreApplication::sendPostedEvents();
        // With the cache's memory emptied, only a view that kept the picture still shares it.
        cache_.clearMemory();
        EXPECT_EQ(full.isDetached(), test.released) << test.how;
        EXPECT_EQ(view->image->image().isNull(), test.released) << test.how;
        EXPECT_TRUE(view->image->hasImage()) << test.how;
        full = QImage();

        page.show();
        view->show();
        // Back from the file on a worker; the copy painted last shows meanwhile, not the placeholder.
        const QImage shown = view->grab().toImage();
        EXPECT_TRUE(near(shown.pixelColor(2, 50), Qt::red)) << test.how;
        EXPECT_TRUE(near(shown.pixelColor(197, 50), Qt::blue)) << test.how;
        ASSERT_TRUE(QTest::qWaitFor([&] { return !view->image->image().isNull(); }, 10'000)) << test.how;
    }
}

TEST_F(CachedAsyncImageTest, ANewAddressGivenOffTheScreenLoadsWhenTheViewIsBack)
{
    host_.image->setUrl(url("/halves/poster.png"));
    ASSERT_TRUE(waitForImage());
    host_.grab();
    host_.hide();
    QCoreApplication::sendPostedEvents();
    host_.image->setUrl(url("/slow/poster.png"));
    EXPECT_FALSE(host_.image->hasImage()) << "the kept copy belongs to the old address";
    host_.show();
    EXPECT_EQ(shownAt(100, 50), kPlaceholder);
    ASSERT_TRUE(waitForImage());
}

TEST_F(CachedAsyncImageTest, AViewDestroyedWhileItsPictureLoadsIsLeftAlone)
{
    auto* doomed = new PosterHost(cache_);
    doomed->show();
    doomed->image->setUrl(url("/slow/poster.png"));
    delete doomed;
    ASSERT_TRUE(QTest::qWaitFor([this] { return slowServed_.load(); }, 10'000));
    // The load still finishes and fills the cache for the next view.
    ASSERT_TRUE(QTest::qWaitFor([this] { return !cache_.memoryImage(url("/slow/poster.png")).isNull(); }, 10'000));

    // A failing one is not tried again for nobody.
    auto* gone = new PosterHost(cache_);
    gone->show();
    gone->image->setUrl(url("/later/poster.png"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return laterRequests_ == 1; }, 10'000));
    delete gone;
    QTest::qWait(300); // several retry pauses of this host's policy
    EXPECT_EQ(laterRequests_, 1);
}

} // namespace
