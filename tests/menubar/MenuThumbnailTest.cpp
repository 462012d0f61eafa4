#include "menubar/MenuBarFixture.h"

#include <QFile>
#include <QSet>

namespace {

using samplecatalogue::Fault;

class MenuThumbnailTest : public MenuBarFixture {
protected:
    MenuThumbnailTest()
    {
        QObject::connect(&loader(), &MenuThumbnailLoader::loadEnded, &loader(), [this](quint64 generation) { ended_.insert(generation); });
    }

    MenuThumbnailLoader& loader() const { return manager_->thumbnailLoader(); }
    QString posterPath(qint64 key) { return assetUrl(key, QStringLiteral("poster.webp")).mid(catalogue_.server().baseUrl().size()); }
    const QImage& shown() const { return menu().thumbnailView()->thumbnailImage(); }
    bool rowVisible() const { return menu().thumbnailItem()->isVisible(); }

    // Waits until the newest load (or the given one) has ended.
    void waitForLoad(std::optional<quint64> generation = std::nullopt)
    {
        const quint64 awaited = generation.value_or(loader().generation());
        ASSERT_TRUE(waitUntil([&] { return ended_.contains(awaited); }));
    }
    // A one-colour picture in the key's poster cache.
    static void cachePoster(qint64 key, const QColor& color)
    {
        const QString path = *MenuThumbnailLoader::posterCachePath(key);
        QDir().mkpath(QFileInfo(path).path());
        QImage picture(64, 36, QImage::Format_RGB32);
        picture.fill(color);
        ASSERT_TRUE(picture.save(path, "PNG"));
    }
    static QColor centre(const QImage& image) { return image.pixelColor(image.width() / 2, image.height() / 2); }

    QSet<quint64> ended_;
};

TEST_F(MenuThumbnailTest, ACachedPosterIsShownWithoutAnyRequest)
{
    cachePoster(kCatalogueKey, Qt::red);
    showOnDesktop(cachedRequest(kCatalogueKey));
    waitForLoad();

    EXPECT_TRUE(rowVisible());
    EXPECT_EQ(centre(shown()), QColor(Qt::red));
    EXPECT_EQ(catalogue_.server().requestCount(posterPath(kCatalogueKey)), 0);
}

TEST_F(MenuThumbnailTest, AFetchedPosterIsKeptAsItCameForNextTime)
{
    // The launch's first load names the asset host the poster comes from.
    waitForTask(store_.initializeIfNeeded());
    showOnDesktop(cachedRequest(kCatalogueKey));
    waitForLoad();
    ASSERT_FALSE(shown().isNull());

    QFile cached(*MenuThumbnailLoader::posterCachePath(kCatalogueKey));
    ASSERT_TRUE(cached.open(QIODevice::ReadOnly));
    const QNetworkRequest request(QUrl(assetUrl(kCatalogueKey, QStringLiteral("poster.webp"))));
    EXPECT_EQ(cached.readAll(), waitForTask(Http::shared().send(request)).body);

    const int fetched = catalogue_.server().requestCount(posterPath(kCatalogueKey));
    manager_->updateThumbnail();
    waitForLoad();
    EXPECT_EQ(catalogue_.server().requestCount(posterPath(kCatalogueKey)), fetched) << "the kept poster serves the next time";
}

TEST_F(MenuThumbnailTest, AReplyThatIsNoPictureClearsThePreviousWallpapersPicture)
{
    waitForTask(store_.initializeIfNeeded());
    cachePoster(kCatalogueKey, Qt::red);
    showOnDesktop(cachedRequest(kCatalogueKey));
    waitForLoad();
    catalogue_.server().setFault(posterPath(kOtherCatalogueKey), Fault{.status = 404});

    showOnDesktop(cachedRequest(kOtherCatalogueKey));
    waitForLoad();

    EXPECT_TRUE(shown().isNull());
    EXPECT_FALSE(rowVisible());
    EXPECT_FALSE(QFileInfo::exists(*MenuThumbnailLoader::posterCachePath(kOtherCatalogueKey)));
    EXPECT_TRUE(log_.contains(QStringLiteral("⚠️ [MenuBarManager] Menu thumbnail not read from ")
        + assetUrl(kOtherCatalogueKey, QStringLiteral("poster.webp")) + QStringLiteral(": not a picture (status 404)")));
}

TEST_F(MenuThumbnailTest, APosterWithoutEndIsDroppedAndNothingIsShownOrKept)
{
    waitForTask(store_.initializeIfNeeded());
    catalogue_.server().setFault(posterPath(kCatalogueKey), Fault{.endless = true});
    showOnDesktop(cachedRequest(kCatalogueKey));
    waitForLoad();
    EXPECT_TRUE(catalogue_.endlessRepliesCutOff());
    EXPECT_FALSE(rowVisible());
    EXPECT_FALSE(QFileInfo::exists(*MenuThumbnailLoader::posterCachePath(kCatalogueKey)));
    EXPECT_TRUE(log_.contains(QStringLiteral("⚠️ [MenuBarManager] Menu thumbnail not read from ")
        + assetUrl(kCatalogueKey, QStringLiteral("poster.webp")) + QStringLiteral(": The reply is longer than")));
}

TEST_F(MenuThumbnailTest, ASlowPosterOfAnEarlierWallpaperNeverReplacesTheCurrentOne)
{
    catalogue_.server().setFault(posterPath(kCatalogueKey), Fault{.delayMs = 1000});
    showOnDesktop(cachedRequest(kCatalogueKey));
    const quint64 slow = loader().generation();
    cachePoster(kOtherCatalogueKey, Qt::blue);

    showOnDesktop(cachedRequest(kOtherCatalogueKey));
    waitForLoad();
    EXPECT_EQ(centre(shown()), QColor(Qt::blue));
    waitForLoad(slow);

    EXPECT_EQ(centre(shown()), QColor(Qt::blue));
    EXPECT_TRUE(rowVisible());
}

TEST_F(MenuThumbnailTest, WithoutAnyAssetHostOnlyTheCachedPosterCanBeShown)
{
    // The engine records the local file; no statistics have named the asset host.
    waitForTask(service_.applyWallpaper(cachedRequest(kCatalogueKey)));
    manager_->updateThumbnail();
    waitForLoad();
    EXPECT_FALSE(rowVisible());

    cachePoster(kCatalogueKey, Qt::green);
    manager_->updateThumbnail();
    waitForLoad();
    EXPECT_TRUE(rowVisible());
    EXPECT_EQ(centre(shown()), QColor(Qt::green));
}

TEST_F(MenuThumbnailTest, TheStoresAssetHostNamesThePoster)
{
    waitForTask(store_.initializeIfNeeded());
    ASSERT_TRUE(store_.baseUrl());
    waitForTask(service_.applyWallpaper(cachedRequest(kCatalogueKey)));
    manager_->updateThumbnail();
    waitForLoad();

    EXPECT_FALSE(shown().isNull());
    EXPECT_GE(catalogue_.server().requestCount(posterPath(kCatalogueKey)), 1);
}

TEST_F(MenuThumbnailTest, AnOwnWallpaperShowsAFrameOfItsVideoUntilTheVideoIsGone)
{
    const WallpaperModel own = ownWallpaper(71);
    showOnDesktop(WallpaperApplyRequest{.key = 71, .videoURL = *own.masterUrl, .wallpaper = own, .isCustom = true});
    waitForLoad();
    EXPECT_EQ(shown().size(), QSize(320, 180));

    QFile::remove(own.masterUrl->toLocalFile());
    manager_->updateThumbnail();
    waitForLoad();
    EXPECT_FALSE(rowVisible());
    EXPECT_TRUE(shown().isNull());
}

TEST_F(MenuThumbnailTest, OnlyAPartnerSitesLikedWallpaperShowsAFrameInsteadOfThePoster)
{
    for (const bool partner : {false, true}) {
        WallpaperModel liked = record(kCatalogueKey);
        liked.isFromGravelnook = partner;
        liked_.addWallpaper(liked, true);
        cachePoster(kCatalogueKey, Qt::red);
        showOnDesktop(cachedRequest(kCatalogueKey));
        waitForLoad();
        EXPECT_EQ(shown().size() == QSize(64, 36), !partner) << "partner " << partner;
    }
}

TEST_F(MenuThumbnailTest, NoWallpaperHidesTheRow)
{
    showOnDesktop(cachedRequest(kCatalogueKey));
    waitForLoad();
    engine_.stopAll();
    settle();

    EXPECT_FALSE(rowVisible());
    EXPECT_TRUE(shown().isNull());
}

TEST(ThumbnailMenuItemViewLayout, ThePictureSpansTheWidthAndIsCutAtTheTopWhenTaller)
{
    struct Case {
        QSizeF bounds;
        QSizeF picture;
        QRectF expected;
    };
    const Case cases[] = {
        {{240, 135}, {1920, 1080}, {0, 0, 240, 135}},
        {{240, 135}, {200, 100}, {0, 7.5, 240, 120}},       // wider: centred
        {{240, 135}, {90, 160}, {0, 135 - 426.6666666666667, 240, 426.6666666666667}}, // portrait: bottom-anchored
        {{300, 135}, {1920, 1080}, {0, -33.75, 300, 168.75}}, // a wider menu keeps the full width
    };
    for (const Case& c : cases) {
        const QRectF rect = ThumbnailMenuItemView::pictureRect(c.bounds, c.picture);
        EXPECT_NEAR(rect.top(), c.expected.top(), 1e-9);
        EXPECT_NEAR(rect.height(), c.expected.height(), 1e-9);
        EXPECT_EQ(rect.left(), 0);
        EXPECT_EQ(rect.width(), c.bounds.width());
    }
}

} // namespace
