#include "foundation/JsonReader.h"
#include "platform/Http.h"
#include "platform/HttpError.h"

#include "support/SampleCatalogueFixture.h"
#include "support/TaskWait.h"

#include <QImage>
#include <QNetworkRequest>

#include <gtest/gtest.h>

// The application's own transfer stack against the sample catalogue over TLS: the two halves of
// the foundation meet here exactly as the running program uses them.
class CatalogueOverHttpTest : public ::testing::Test {
protected:
    QNetworkRequest backendRequest(const QString& endpoint) const
    {
        QNetworkRequest request(QUrl(catalogue_.config().backendBaseUrl.toString() + endpoint));
        request.setRawHeader("Content-Type", "application/json");
        request.setRawHeader("Accept", "application/json");
        request.setRawHeader("Authorization", "Bearer " + catalogue_.config().backendKey.toUtf8());
        return request;
    }

    SampleCatalogueFixture catalogue_;
    Http http_;
};

TEST_F(CatalogueOverHttpTest, PlatformStatsAndAPosterArriveOverTls)
{
    ASSERT_TRUE(catalogue_.isRunning());

    const HttpResponse stats = waitForTask(http_.send(backendRequest(QStringLiteral("/platform-stats"))));
    ASSERT_EQ(stats.status, 200);
    const JsonReader data = JsonReader::parse(stats.body).field("data");
    const QString assetHost = data.requiredString("base_url");
    EXPECT_EQ(assetHost, catalogue_.server().assetHost());

    // The first wallpaper of the first page names a poster on the asset host.
    const HttpResponse page = waitForTask(http_.send(backendRequest(QStringLiteral("/get-wallpapers?mode=recent&limit=1&page=1"))));
    ASSERT_EQ(page.status, 200);
    const qint64 key = JsonReader::parse(page.body).field("wallpapers").at(0).requiredInt64("key");

    const QUrl posterUrl(QStringLiteral("https://%1/wallpaper/%2/poster.webp").arg(assetHost).arg(key));
    const HttpResponse poster = waitForTask(http_.send(QNetworkRequest(posterUrl)));
    ASSERT_EQ(poster.status, 200);
    EXPECT_EQ(poster.header("Content-Type"), QByteArray("image/webp"));
    const QImage image = QImage::fromData(poster.body, "WEBP");
    EXPECT_FALSE(image.isNull());
}

TEST_F(CatalogueOverHttpTest, ServerFaultsReachTheCallerAsStatusesAndErrors)
{
    using samplecatalogue::Fault;
    ASSERT_TRUE(catalogue_.isRunning());

    catalogue_.server().setFault(QStringLiteral("/functions/v1/platform-stats"), Fault{.status = 503});
    EXPECT_EQ(waitForTask(http_.send(backendRequest(QStringLiteral("/platform-stats")))).status, 503);

    catalogue_.server().setFault(QStringLiteral("/functions/v1/platform-stats"), Fault{.cutShort = true});
    EXPECT_THROW(waitForTask(http_.send(backendRequest(QStringLiteral("/platform-stats")))), HttpError);

    catalogue_.server().setFault(QStringLiteral("/functions/v1/platform-stats"), Fault{.invalidJson = true});
    const HttpResponse broken = waitForTask(http_.send(backendRequest(QStringLiteral("/platform-stats"))));
    EXPECT_EQ(broken.status, 200);
    EXPECT_THROW(JsonReader::parse(broken.body), JsonError);
}
