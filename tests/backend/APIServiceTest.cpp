#include "CatalogueClientTest.h"

#include "backend/APIError.h"
#include "backend/RequestCancelledError.h"
#include "backend/ResponseCache.h"
#include "foundation/Async.h"
#include "foundation/JsonReader.h"
#include "foundation/Log.h"
#include "platform/HttpError.h"
#include "support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

using samplecatalogue::Fault;

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

class APIServiceTest : public CatalogueClientTest {
protected:
    QUrl url(const QString& endpoint) const { return QUrl(address(endpoint)); }
};

} // namespace

TEST_F(APIServiceTest, CacheableGetIsAnsweredFromTheCacheForOneHour)
{
    const QString described = QStringLiteral("GET ") + address(QStringLiteral("get-categories"));
    LogCapture log;
    const auto categories = waitForTask(api_->getCategories());
    EXPECT_EQ(categories.size(), 8);
    EXPECT_EQ(log.lines(), (QStringList{QStringLiteral("💾 [APIService] Cache MISS: ") + described,
                               QStringLiteral("🌐 [APIService] ") + described,
                               QStringLiteral("💾 [APIService] Cached response: ") + described}));

    log.clear();
    clock_.advance(3600);
    EXPECT_EQ(waitForTask(api_->getCategories()).size(), 8);
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("💾 [APIService] Cache HIT: ") + described});
    EXPECT_EQ(requests(QStringLiteral("get-categories")), 1);

    clock_.advance(1);
    waitForTask(api_->getCategories());
    EXPECT_EQ(requests(QStringLiteral("get-categories")), 2);
}

TEST_F(APIServiceTest, SendsTheJsonHeadersAndTheBearerKey)
{
    waitForTask(api_->request(url(QStringLiteral("platform-stats")), "GET"));
    const auto sent = lastRequest(QStringLiteral("platform-stats"));
    EXPECT_EQ(sent.header("content-type"), "application/json");
    EXPECT_EQ(sent.header("accept"), "application/json");
    EXPECT_EQ(sent.header("authorization"), "Bearer " + catalogue_.config().backendKey.toUtf8());
}

TEST_F(APIServiceTest, CallerHeadersReplaceTheDefaults)
{
    const auto refused = failureOf<APIError>(
        api_->request(url(QStringLiteral("platform-stats")), "GET", {{"Accept", "text/plain"}}));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->statusCode(), 406); // the catalogue insists on JSON
    EXPECT_EQ(lastRequest(QStringLiteral("platform-stats")).header("accept"), "text/plain");
}

TEST_F(APIServiceTest, WithoutABearerKeyNoAuthorizationIsSent)
{
    APIService::Settings anonymous = settings();
    anonymous.bearerKey.clear();
    const auto refused = failureOf<APIError>(client(anonymous)->request(url(QStringLiteral("platform-stats")), "GET"));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->kind(), APIError::Kind::HttpError);
    EXPECT_EQ(refused->statusCode(), 401);
    EXPECT_FALSE(lastRequest(QStringLiteral("platform-stats")).headers.contains("authorization"));
}

TEST_F(APIServiceTest, OnlyTwoHundredsSucceed)
{
    const QList<std::pair<int, bool>> statuses{{200, true}, {299, true}, {300, false}, {404, false},
        {409, false}, {500, false}, {503, false}};
    for (const auto& [status, succeeds] : statuses) {
        setFault(QStringLiteral("platform-stats"), Fault{status, 0, false, false, 1});
        try {
            waitForTask(api_->request(url(QStringLiteral("platform-stats")), "GET"));
            EXPECT_TRUE(succeeds) << status;
        } catch (const APIError& error) {
            EXPECT_FALSE(succeeds) << status;
            EXPECT_EQ(error.kind(), APIError::Kind::HttpError);
            EXPECT_EQ(error.statusCode(), status);
            EXPECT_EQ(error.localizedDescription(), QStringLiteral("HTTP error with status code: %1").arg(status));
        }
    }
}

TEST_F(APIServiceTest, FailedRequestsStoreNothing)
{
    setFault(QStringLiteral("get-home-page"), Fault{500, 0, false, false, 1});
    EXPECT_TRUE(failureOf<APIError>(api_->getHomePage()));
    EXPECT_EQ(api_->responseCache().size(), 0);
    EXPECT_FALSE(waitForTask(api_->getHomePage()).sections.isEmpty());
    EXPECT_EQ(requests(QStringLiteral("get-home-page")), 2);
}

TEST_F(APIServiceTest, ReplyThatDoesNotDecodeIsNeverCached)
{
    setFault(QStringLiteral("get-categories"), Fault{0, 0, false, true, 1});
    LogCapture log;
    EXPECT_TRUE(failureOf<JsonError>(api_->getCategories()));
    EXPECT_FALSE(log.contains(QStringLiteral("Cached response")));
    EXPECT_EQ(api_->responseCache().size(), 0);

    EXPECT_EQ(waitForTask(api_->getCategories()).size(), 8);
    EXPECT_EQ(requests(QStringLiteral("get-categories")), 2);
}

TEST_F(APIServiceTest, CutReplyIsANetworkError)
{
    setFault(QStringLiteral("get-home-page"), Fault{0, 0, true, false, 1});
    const auto error = failureOf<APIError>(api_->getHomePage());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), APIError::Kind::NetworkError);
    EXPECT_TRUE(error->localizedDescription().startsWith(QStringLiteral("Network error: ")));
    EXPECT_EQ(api_->responseCache().size(), 0);
}

TEST_F(APIServiceTest, TimeOutsAreNetworkErrors)
{
    setFault(QStringLiteral("platform-stats"), Fault{0, 5000, false, false, -1});
    APIService::Settings impatient = settings();
    impatient.requestTimeoutMs = 100;
    auto error = failureOf<APIError>(client(impatient)->request(url(QStringLiteral("platform-stats")), "GET"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), APIError::Kind::NetworkError);
    try {
        std::rethrow_exception(error->underlying());
    } catch (const HttpError& cause) {
        EXPECT_EQ(cause.kind(), HttpError::Kind::TimedOut);
    }

    APIService::Settings shortDeadline = settings();
    shortDeadline.resourceTimeoutMs = 100;
    error = failureOf<APIError>(client(shortDeadline)->request(url(QStringLiteral("platform-stats")), "GET"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription(), QStringLiteral("Network error: The request timed out."));
}

TEST_F(APIServiceTest, RefusedConnectionIsANetworkError)
{
    APIService::Settings nobody = settings();
    nobody.baseURL = QStringLiteral("https://127.0.0.1:1/functions/v1"); // nothing listens there
    const auto error = failureOf<APIError>(client(nobody)->getCategories());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), APIError::Kind::NetworkError);
}

TEST_F(APIServiceTest, StoppedRequestEndsAsCancelledNotAsANetworkError)
{
    std::stop_source stop;
    stop.request_stop();
    EXPECT_TRUE(failureOf<RequestCancelledError>(api_->request(url(QStringLiteral("platform-stats")), "GET", {}, {}, stop.get_token())));
    EXPECT_EQ(requests(QStringLiteral("platform-stats")), 0);

    setFault(QStringLiteral("platform-stats"), Fault{0, 5000, false, false, -1});
    std::stop_source later;
    runAfter(50, nullptr, [&later] { later.request_stop(); });
    const auto cancelled = failureOf<RequestCancelledError>(
        api_->request(url(QStringLiteral("platform-stats")), "GET", {}, {}, later.get_token()));
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(cancelled->localizedDescription(), QStringLiteral("The request was cancelled."));
}

// A client let go while its call is under way: the reply still reaches the caller, and nothing
// is stored through the client that went.
TEST_F(APIServiceTest, AReplyAfterTheClientWentReachesTheCallerAndIsNotStored)
{
    setFault(QStringLiteral("get-categories"), Fault{0, 300, false, false, -1});
    std::unique_ptr<APIService> gone = client(settings());
    QCoro::Task<QByteArray> call = gone->request(url(QStringLiteral("get-categories")), "GET");
    gone.reset();
    EXPECT_FALSE(waitForTask(std::move(call)).isEmpty());
    EXPECT_EQ(requests(QStringLiteral("get-categories")), 1);
}

TEST_F(APIServiceTest, CacheFileCarriesRepliesAcrossRestarts)
{
    waitForTask(api_->getHomePage());
    api_.reset(); // the program's one client, at quit
    LogCapture log;
    const auto restarted = client();
    EXPECT_TRUE(log.contains(QStringLiteral("💾 [APIService] Loaded 1 cached responses from disk (discarded 0 expired)")));
    EXPECT_FALSE(waitForTask(restarted->getHomePage()).sections.isEmpty());
    EXPECT_EQ(requests(QStringLiteral("get-home-page")), 1);
}

TEST_F(APIServiceTest, DamagedCacheFileIsSetAsideAndRewritten)
{
    writeFile(cacheFile(), "{\"GET_x\": {\"data\": \"not base64!\", \"timestamp\": 1}");
    api_ = client();
    EXPECT_EQ(api_->responseCache().size(), 0);
    waitForTask(api_->getCategories());
    api_.reset();
    const JsonReader file = JsonReader::parse(readFile(cacheFile()));
    EXPECT_EQ(file.keys(), QStringList{QStringLiteral("GET_") + address(QStringLiteral("get-categories"))});
}

TEST_F(APIServiceTest, CachedBodyThatNoLongerDecodesIsFetchedAgain)
{
    const QString key = ResponseCache::cacheKey("GET", url(QStringLiteral("get-categories")), std::nullopt);
    const double now = (clock_.now().toMSecsSinceEpoch() - JsonReader::kReferenceDateMSecs) / 1000.0;
    writeFile(cacheFile(), QJsonDocument(QJsonObject{{key, QJsonObject{{QStringLiteral("data"), QStringLiteral("W10=")},
                                                               {QStringLiteral("timestamp"), now}}}})
                               .toJson());
    api_ = client();
    LogCapture log;
    EXPECT_EQ(waitForTask(api_->getCategories()).size(), 8);
    EXPECT_FALSE(log.contains(QStringLiteral("Cache HIT")));
    EXPECT_EQ(requests(QStringLiteral("get-categories")), 1);
    EXPECT_EQ(waitForTask(api_->getCategories()).size(), 8); // the fresh reply is cached now
    EXPECT_EQ(requests(QStringLiteral("get-categories")), 1);
}

TEST_F(APIServiceTest, AddressThatCannotBeBuiltSendsNothing)
{
    for (const QString& base : {QStringLiteral("https://exa mple.org/functions/v1"), QStringLiteral("https:///functions/v1"),
             QStringLiteral("not a url"), QString()}) {
        APIService::Settings broken = settings();
        broken.baseURL = base;
        const auto error = failureOf<APIError>(client(broken)->getCategories());
        ASSERT_TRUE(error) << base.toStdString();
        EXPECT_EQ(error->kind(), APIError::Kind::InvalidURL);
        EXPECT_EQ(error->localizedDescription(), QStringLiteral("Invalid API URL"));
    }
}
