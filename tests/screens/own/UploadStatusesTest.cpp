#include "library/OwnFixture.h"

#include "engine/WallpaperImageCache.h"
#include "screens/own/CustomBackgroundImageLoader.h"
#include "screens/own/UploadStatuses.h"
#include "support/Eventually.h"
#include "support/HeldWorkerPool.h"

#include <QSignalSpy>

namespace {

class UploadStatusesTest : public OwnFixture {
protected:
    // An upload of this device that the catalogue knows, with a status.
    qint64 registered(const QString& status)
    {
        const UploadURLResponse address = waitForTask(api_->requestUploadURL(device_));
        waitForTask(api_->uploadWallpaper(device_, QStringLiteral("Loop"), 3, address.wallpaperKey));
        const qint64 key = address.wallpaperKey.toLongLong();
        catalogue_.server().uploads().setStatus(key, status);
        return key;
    }
    UploadStatuses statuses_{*api_, [this] { return device_; }, [] { return QList<qint64>{}; }};
};

TEST_F(UploadStatusesTest, OneFetchAtATimeAndAFailureKeepsWhatWasKnown)
{
    const qint64 key = registered(QStringLiteral("Approved"));
    const int before = requests(QStringLiteral("check-upload-status"));
    QCoro::Task<> first = statuses_.fetch();
    EXPECT_TRUE(statuses_.isLoading());
    waitForTask(statuses_.fetch()); // returns at once
    waitForTask(std::move(first));
    EXPECT_EQ(requests(QStringLiteral("check-upload-status")) - before, 1);
    EXPECT_EQ(statuses_.statuses().value(key), QStringLiteral("Approved"));

    setFault(QStringLiteral("check-upload-status"), samplecatalogue::Fault{.invalidJson = true});
    waitForTask(statuses_.fetch());
    EXPECT_FALSE(statuses_.isLoading());
    EXPECT_EQ(statuses_.statuses().value(key), QStringLiteral("Approved"));
    EXPECT_TRUE(log_.contains(QStringLiteral("❌ [CustomView] Failed to fetch upload statuses: ")));
}

class CustomBackgroundImageLoaderTest : public OwnFixture {
protected:
    std::optional<QUrl> pictureURL() const
    {
        return CustomBackgroundImageLoader::backgroundURL(catalogue_.config().backendBaseUrl.host() + QLatin1Char(':')
            + QString::number(catalogue_.config().backendBaseUrl.port()));
    }
    int pictureRequests() { return catalogue_.server().requestCount(QStringLiteral("/custom_page_bg.webp")); }

    WallpaperImageCache cache_{temp_.file(QStringLiteral("images"))};
    CustomBackgroundImageLoader loader_{Http::shared(), cache_};
};

TEST_F(CustomBackgroundImageLoaderTest, FetchesOnceRetriesAfterAFailureAndClears)
{
    loader_.load(std::nullopt);
    EXPECT_EQ(pictureRequests(), 0);

    catalogue_.server().setFault(QStringLiteral("/custom_page_bg.webp"), samplecatalogue::Fault{.status = 404, .times = 1});
    loader_.load(pictureURL());
    ASSERT_EVENTUALLY(!loader_.isLoading(), 10'000);
    EXPECT_TRUE(loader_.image().isNull());
    EXPECT_TRUE(log_.contains(QStringLiteral("Custom background image load failed: The server answered with status 404")));

    loader_.load(pictureURL()); // the same address again: tried anew
    ASSERT_EVENTUALLY(!loader_.image().isNull(), 10'000);
    loader_.load(pictureURL());
    EXPECT_EQ(pictureRequests(), 2);

    loader_.load(std::nullopt);
    EXPECT_TRUE(loader_.image().isNull());
    CustomBackgroundImageLoader second(Http::shared(), cache_);
    second.load(pictureURL());
    EXPECT_FALSE(second.image().isNull()) << "answered from the image cache";
    EXPECT_EQ(pictureRequests(), 2);
}

TEST_F(CustomBackgroundImageLoaderTest, AStoredPictureIsDecodedOnAWorker)
{
    QImage picture(64, 36, QImage::Format_RGB32);
    picture.fill(Qt::green);
    WallpaperImageCache earlierRun(cache_.baseDirectory());
    earlierRun.store(picture, *pictureURL());
    earlierRun.waitForDiskWrites();

    HeldWorkerPool workers;
    loader_.load(pictureURL());
    EXPECT_TRUE(loader_.image().isNull()) << "decoded on the GUI thread";
    workers.release();
    ASSERT_EVENTUALLY(!loader_.image().isNull(), 10'000);
    EXPECT_EQ(loader_.image().pixelColor(0, 0), QColor(Qt::green));
    EXPECT_EQ(pictureRequests(), 0);
}

} // namespace
