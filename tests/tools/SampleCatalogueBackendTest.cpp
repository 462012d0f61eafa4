#include "CatalogueClient.h"
#include "support/SampleCatalogueFixture.h"

#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslConfiguration>

#include <gtest/gtest.h>

using namespace samplecatalogue;

namespace {
constexpr qint64 kFirstBeyondDoubles = (qint64(1) << 53) + 1;

class SampleCatalogueBackendTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fixture_.isRunning()); }

    SampleCatalogue& server() { return fixture_.server(); }

    SampleCatalogueFixture fixture_;
    CatalogueClient client_{fixture_.server()};
};

bool isInteger(const QJsonValue& value)
{
    return value.isDouble() && value.toInteger(0) == value.toInteger(1);
}

// The fields and JSON types a client requires of every wallpaper item.
void expectCompleteItem(const QJsonObject& item)
{
    for (const char* field : {"key", "downloads", "likes", "category_id", "resolution_height", "resolution_width",
                              "file_size", "duration_seconds"})
        EXPECT_TRUE(isInteger(item.value(QLatin1String(field)))) << field << " in " << QJsonDocument(item).toJson().toStdString();
    EXPECT_TRUE(item.value(QLatin1String("created_at")).isString());
    for (const char* optional : {"title", "creator"})
        EXPECT_TRUE(item.value(QLatin1String(optional)).isString() || !item.contains(QLatin1String(optional)));
    EXPECT_TRUE(item.value(QLatin1String("for_lockscreen")).isBool() || !item.contains(QLatin1String("for_lockscreen")));
}

QList<qint64> keysOf(const QJsonArray& items)
{
    QList<qint64> keys;
    for (const QJsonValue& item : items)
        keys.append(item.toObject().value(QLatin1String("key")).toInteger());
    return keys;
}
} // namespace

TEST_F(SampleCatalogueBackendTest, SeedCoversWhatClientsExercise)
{
    const QList<QJsonObject>& items = server().catalogue().wallpapers();
    EXPECT_GE(items.size(), 40);
    const auto count = [&](const std::function<bool(const QJsonObject&)>& test) {
        return std::count_if(items.begin(), items.end(), test);
    };
    EXPECT_GE(count([](const QJsonObject& item) { return CatalogueData::keyOf(item) >= kFirstBeyondDoubles; }), 1);
    EXPECT_GE(count([](const QJsonObject& item) { return item.value(QLatin1String("for_lockscreen")).toBool(); }), 2);
    EXPECT_GE(count([](const QJsonObject& item) { return item.value(QLatin1String("resolution_width")).toInteger() == 3840; }), 2);
    EXPECT_GE(count([](const QJsonObject& item) { return item.value(QLatin1String("resolution_height")).toInteger() == 1080; }), 2);
    EXPECT_GE(server().catalogue().categories().size(), 6);
}

TEST_F(SampleCatalogueBackendTest, PlatformStatsNameThisServerAsAssetHost)
{
    const auto reply = client_.backend("platform-stats");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_EQ(reply->get_header_value("Content-Type"), "application/json");
    const QJsonObject stats = CatalogueClient::json(reply).value(QLatin1String("data")).toObject();
    EXPECT_EQ(stats.value(QLatin1String("base_url")).toString(), QStringLiteral("127.0.0.1:%1").arg(server().port()));
    EXPECT_EQ(stats.value(QLatin1String("total_wallpapers")).toInteger(), server().catalogue().wallpapers().size());
    for (const char* video : {"explore_page_video", "lockscreen_page_video", "on_boarding_screen_video"})
        EXPECT_TRUE(stats.value(QLatin1String(video)).toString().startsWith(server().baseUrl() + QStringLiteral("/wallpaper/")))
            << video;
}

TEST_F(SampleCatalogueBackendTest, CategoriesCarryNamesIdsAndKnownCovers)
{
    const QJsonArray categories = CatalogueClient::json(client_.backend("get-categories")).value(QLatin1String("categories")).toArray();
    ASSERT_GE(categories.size(), 6);
    for (const QJsonValue& value : categories) {
        const QJsonObject category = value.toObject();
        EXPECT_TRUE(category.value(QLatin1String("category_name")).isString());
        EXPECT_TRUE(isInteger(category.value(QLatin1String("id"))));
        if (category.contains(QLatin1String("wallpaper_key"))) {
            EXPECT_TRUE(server().catalogue().wallpaper(category.value(QLatin1String("wallpaper_key")).toInteger()));
        }
    }
}

TEST_F(SampleCatalogueBackendTest, HomePageHasHeroAndSectionsOfCompleteItems)
{
    const QJsonObject page = CatalogueClient::json(client_.backend("get-home-page"));
    ASSERT_TRUE(page.value(QLatin1String("hero_carousel")).isObject());
    EXPECT_FALSE(page.value(QLatin1String("hero_carousel")).toObject().value(QLatin1String("data")).toArray().isEmpty());
    EXPECT_GE(page.size(), 4);
    for (auto it = page.begin(); it != page.end(); ++it) {
        const QJsonObject section = it.value().toObject();
        ASSERT_TRUE(section.value(QLatin1String("data")).isArray()) << it.key().toStdString();
        for (const QJsonValue& item : section.value(QLatin1String("data")).toArray())
            expectCompleteItem(item.toObject());
    }
}

TEST_F(SampleCatalogueBackendTest, KeysBeyondDoublePrecisionGoOutExactly)
{
    const auto reply = client_.backend(QStringLiteral("get-wallpapers-by-id?keys=%1").arg(kFirstBeyondDoubles).toStdString());
    ASSERT_TRUE(reply);
    // Read as text: a double would have rounded the digits.
    EXPECT_NE(reply->body.find("\"key\":9007199254740993"), std::string::npos) << reply->body;
}

TEST_F(SampleCatalogueBackendTest, ListsFollowTheirQuery)
{
    const QJsonArray lockScreen = CatalogueClient::json(client_.backend("get-wallpapers?mode=recent&limit=50&page=1&type=lockscreen"))
                                      .value(QLatin1String("wallpapers")).toArray();
    ASSERT_FALSE(lockScreen.isEmpty());
    for (const QJsonValue& item : lockScreen)
        EXPECT_TRUE(item.toObject().value(QLatin1String("for_lockscreen")).toBool());

    const QJsonObject page = CatalogueClient::json(client_.backend("get-wallpapers-by-resolution?filter=4K&limit=3&page=1"));
    for (const QJsonValue& item : page.value(QLatin1String("wallpapers")).toArray())
        EXPECT_EQ(item.toObject().value(QLatin1String("resolution_width")).toInteger(), 3840);
    EXPECT_EQ(page.value(QLatin1String("pagination")).toObject().value(QLatin1String("next_page")).toInteger(), 2);

    const QJsonArray byId = CatalogueClient::json(client_.backend("get-wallpapers-by-id?keys=-4242,1,9007199254740993"))
                                .value(QLatin1String("wallpapers")).toArray();
    EXPECT_EQ(keysOf(byId), (QList<qint64>{-4242, 9007199254740993}));

    EXPECT_EQ(client_.backend("get-wallpapers?mode=sideways&limit=6&page=1")->status, 400);
}

TEST_F(SampleCatalogueBackendTest, RecordsEachRequestWithQueryInSentOrder)
{
    client_.backend("get-wallpapers?mode=random&limit=6&page=1");
    client_.backend("get-wallpapers?page=2&limit=20&mode=recent");
    const QString path = QStringLiteral("/functions/v1/get-wallpapers");
    EXPECT_EQ(server().requestCount(path), 2);
    const auto last = server().lastRequest(path);
    ASSERT_TRUE(last);
    using Item = std::pair<QString, QString>;
    EXPECT_EQ(last->query, (QList<Item>{{"page", "2"}, {"limit", "20"}, {"mode", "recent"}}));
    EXPECT_EQ(last->header("Authorization"), "Bearer sample-anon-key");
}

struct RefusedHeaders {
    const char* name;
    httplib::Headers headers;
    int status;
};

class SampleCatalogueRefusalTest : public SampleCatalogueBackendTest,
                                   public ::testing::WithParamInterface<RefusedHeaders> {};

TEST_P(SampleCatalogueRefusalTest, RefusesWithJsonError)
{
    const auto reply = client_.get("/functions/v1/platform-stats", GetParam().headers);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, GetParam().status);
    EXPECT_TRUE(CatalogueClient::json(reply).value(QLatin1String("error")).isString()) << reply->body;
}

INSTANTIATE_TEST_SUITE_P(
    Headers, SampleCatalogueRefusalTest,
    ::testing::Values(
        RefusedHeaders{"NoBearer", {{"Accept", "application/json"}, {"Content-Type", "application/json"}}, 401},
        RefusedHeaders{"WrongBearer",
                       {{"Authorization", "Bearer other"}, {"Accept", "application/json"}, {"Content-Type", "application/json"}},
                       401},
        RefusedHeaders{"NotAcceptingJson",
                       {{"Authorization", "Bearer sample-anon-key"}, {"Accept", "text/html"}, {"Content-Type", "application/json"}},
                       406},
        RefusedHeaders{"NotSendingJson",
                       {{"Authorization", "Bearer sample-anon-key"}, {"Accept", "application/json"}, {"Content-Type", "text/plain"}},
                       415}),
    [](const ::testing::TestParamInfo<RefusedHeaders>& param) { return std::string(param.param.name); });

// The application talks through Qt's TLS stack, trusting the test certificate as an extra CA.
TEST_F(SampleCatalogueBackendTest, QtClientTrustingTheTestCertificateGetsThrough)
{
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(server().backendUrl() + QStringLiteral("/platform-stats")));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(QSslCertificate::fromPath(fixture_.certificateFile()));
    request.setSslConfiguration(tls);
    request.setRawHeader("Authorization", "Bearer " + fixture_.config().backendKey.toUtf8());
    request.setRawHeader("Accept", "application/json");
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(reply->error(), QNetworkReply::NoError) << reply->errorString().toStdString();
    EXPECT_TRUE(QJsonDocument::fromJson(reply->readAll()).object().value(QLatin1String("data")).isObject());
}

TEST_F(SampleCatalogueBackendTest, InstallsConfigPointingAtTheServer)
{
    EXPECT_EQ(Config::current().backendBaseUrl, QUrl(server().baseUrl() + QStringLiteral("/functions/v1")));
    EXPECT_EQ(Config::current().caCertificateFile, fixture_.certificateFile());
}

// A record served anywhere shows the downloads and likes counted so far, as a real backend's do.
TEST_F(SampleCatalogueBackendTest, EveryListShowsCountedDownloadsAndLikes)
{
    const QJsonObject hero = CatalogueClient::json(client_.backend("get-home-page"))
                                 .value(QLatin1String("hero_carousel")).toObject()
                                 .value(QLatin1String("data")).toArray().first().toObject();
    const qint64 key = hero.value(QLatin1String("key")).toInteger();
    const std::string keyText = std::to_string(key);
    for (const char* kind : {"downloads", "downloads", "likes"})
        ASSERT_EQ(client_.backend("increment-wallpaper?key=" + keyText + "&type=" + kind)->status, 200);

    const auto findIn = [key](const QJsonArray& items) {
        for (const QJsonValue& item : items) {
            if (item.toObject().value(QLatin1String("key")).toInteger() == key)
                return item.toObject();
        }
        return QJsonObject();
    };
    const QString title = hero.value(QLatin1String("title")).toString();
    const std::string search = QJsonDocument(QJsonObject{{QStringLiteral("query"), title}}).toJson().toStdString();
    const QList<std::pair<const char*, QJsonObject>> served{
        {"by id", findIn(CatalogueClient::json(client_.backend("get-wallpapers-by-id?keys=" + keyText))
                             .value(QLatin1String("wallpapers")).toArray())},
        {"home page", findIn(CatalogueClient::json(client_.backend("get-home-page"))
                                 .value(QLatin1String("hero_carousel")).toObject().value(QLatin1String("data")).toArray())},
        {"catalogue list", findIn(CatalogueClient::json(client_.backend("get-wallpapers?mode=download&limit=100&page=1"))
                                      .value(QLatin1String("wallpapers")).toArray())},
        {"search", findIn(CatalogueClient::json(client_.backendPost("search-wallpapers", search)).value(QLatin1String("wallpapers")).toArray())},
    };
    for (const auto& [where, item] : served) {
        ASSERT_FALSE(item.isEmpty()) << where;
        EXPECT_EQ(item.value(QLatin1String("downloads")).toInteger(), hero.value(QLatin1String("downloads")).toInteger() + 2) << where;
        EXPECT_EQ(item.value(QLatin1String("likes")).toInteger(), hero.value(QLatin1String("likes")).toInteger() + 1) << where;
    }
}
