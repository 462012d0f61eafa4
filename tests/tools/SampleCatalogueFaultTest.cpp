#include "CatalogueClient.h"
#include "support/SampleCatalogueFixture.h"

#include <gtest/gtest.h>

using namespace samplecatalogue;

namespace {
const QString kStats = QStringLiteral("/functions/v1/platform-stats");
const QString kCategories = QStringLiteral("/functions/v1/get-categories");

class SampleCatalogueFaultTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fixture_.isRunning()); }

    SampleCatalogue& server() { return fixture_.server(); }

    SampleCatalogueFixture fixture_;
    CatalogueClient client_{fixture_.server()};
};

Fault statusFault(int status, int times = -1)
{
    Fault fault;
    fault.status = status;
    fault.times = times;
    return fault;
}
} // namespace

TEST_F(SampleCatalogueFaultTest, StatusFaultAnswersWithJsonErrorForItsCountedRequests)
{
    server().setFault(kStats, statusFault(503, 2));
    for (int i = 0; i < 2; ++i) {
        const auto reply = client_.backend("platform-stats");
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 503);
        EXPECT_TRUE(CatalogueClient::json(reply).contains(QLatin1String("error")));
    }
    EXPECT_EQ(client_.backend("platform-stats")->status, 200);
    EXPECT_EQ(server().requestCount(kStats), 3);
}

TEST_F(SampleCatalogueFaultTest, LongestMatchingPathWinsAndClearingRestores)
{
    server().setFault(QStringLiteral("/functions/v1/"), statusFault(500));
    server().setFault(kCategories, statusFault(404));
    EXPECT_EQ(client_.backend("platform-stats")->status, 500);
    EXPECT_EQ(client_.backend("get-categories")->status, 404);
    server().clearFaults();
    EXPECT_EQ(client_.backend("get-categories")->status, 200);
}

TEST_F(SampleCatalogueFaultTest, CutShortReplyAnnouncesMoreThanItSends)
{
    Fault cut;
    cut.cutShort = true;
    server().setFault(kCategories, cut);
    std::string received;
    size_t announced = 0;
    const auto reply = client_.raw().Get(
        "/functions/v1/get-categories", client_.backendHeaders(),
        [&](const httplib::Response& response) {
            announced = std::stoul(response.get_header_value("Content-Length"));
            return true;
        },
        [&](const char* data, size_t length) {
            received.append(data, length);
            return true;
        });
    EXPECT_EQ(reply.error(), httplib::Error::Read);
    EXPECT_GT(announced, received.size());
    EXPECT_FALSE(received.empty());
}

TEST_F(SampleCatalogueFaultTest, InvalidJsonFaultSendsSuccessThatDoesNotParse)
{
    Fault broken;
    broken.invalidJson = true;
    server().setFault(kStats, broken);
    const auto reply = client_.backend("platform-stats");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    QJsonParseError error;
    QJsonDocument::fromJson(QByteArray::fromStdString(reply->body), &error);
    EXPECT_NE(error.error, QJsonParseError::NoError);
}

TEST_F(SampleCatalogueFaultTest, EmptyBodyFaultSendsSuccessWithNothingInIt)
{
    Fault empty;
    empty.emptyBody = true;
    empty.times = 1;
    server().setFault(kStats, empty);
    const auto reply = client_.backend("platform-stats");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_TRUE(reply->body.empty());
    EXPECT_FALSE(client_.backend("platform-stats")->body.empty());

    // The same switch from another process.
    const auto set = client_.post("/__control/fault", R"({"path": "/functions/v1/get-categories", "empty_body": true})");
    ASSERT_TRUE(set);
    EXPECT_EQ(set->status, 200);
    const auto categories = client_.backend("get-categories");
    ASSERT_TRUE(categories);
    EXPECT_EQ(categories->status, 200);
    EXPECT_TRUE(categories->body.empty());
}

TEST_F(SampleCatalogueFaultTest, DelayHoldsTheReplyAndStopCutsItShort)
{
    Fault slow;
    slow.delayMs = 60'000;
    server().setFault(kStats, slow);
    client_.raw().set_read_timeout(0, 300'000);
    EXPECT_EQ(client_.backend("platform-stats").error(), httplib::Error::Read);
    // The delayed handler is still waiting; stopping must not wait for it to run out.
    server().stop();
    EXPECT_FALSE(server().isRunning());
}

TEST_F(SampleCatalogueFaultTest, ControlEndpointSetsFaultsAndReportsRequests)
{
    const auto set = client_.post("/__control/fault", R"({"path": "/functions/v1/get-home-page", "status": 502, "times": 1})");
    ASSERT_TRUE(set);
    EXPECT_EQ(set->status, 200);
    EXPECT_EQ(client_.backend("get-home-page")->status, 502);
    EXPECT_EQ(client_.backend("get-home-page")->status, 200);

    const QJsonObject log = CatalogueClient::json(client_.get("/__control/requests?path=/functions/v1/get-home-page"));
    EXPECT_EQ(log.value(QLatin1String("count")).toInt(), 2);
    EXPECT_EQ(log.value(QLatin1String("last")).toObject().value(QLatin1String("method")).toString(), QStringLiteral("GET"));

    EXPECT_EQ(client_.post("/__control/fault", R"({"status": 500})")->status, 400);
}
