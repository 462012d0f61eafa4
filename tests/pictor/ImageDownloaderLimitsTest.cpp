#include "DownloadOutcomes.h"
#include "ImageServer.h"

#include "pictor/networking/AnyModifier.h"
#include "pictor/networking/AnyRedirectHandler.h"

#include <gtest/gtest.h>

using namespace pictor;

namespace {

using Reason = PictorError::Reason;

class DownloaderLimitsTest : public ::testing::Test {
protected:
    ImageServer server;
    // Before the downloader, which completes its waiting callers when it goes.
    Outcomes outcomes;
    std::shared_ptr<ImageDownloader> downloader = ImageServer::downloader();
};

// A body of 5 GiB sent in blocks, counting what the server managed to write.
void serveFiveGigabytes(httplib::Response& response, std::shared_ptr<std::atomic<qint64>> sent)
{
    response.set_content_provider(size_t(5) << 30, "application/octet-stream", [sent](size_t, size_t, httplib::DataSink& sink) {
        static const std::string block(64 * 1024, 'x');
        if (!sink.write(block.data(), block.size()))
            return false;
        *sent += qint64(block.size());
        return true;
    });
}

struct HugeBody {
    const char* name;
    int status;
    bool loads; // a redirection leads on to the image
};

class DownloaderHugeBodyTest : public DownloaderLimitsTest, public ::testing::WithParamInterface<HugeBody> {};

TEST_P(DownloaderHugeBodyTest, IsNeverReceived)
{
    auto sent = std::make_shared<std::atomic<qint64>>(0);
    server.routes().Get("/huge", [sent, status = GetParam().status](const httplib::Request&, httplib::Response& response) {
        response.status = status;
        if (status / 100 == 3)
            response.set_header("Location", "/image.png");
        serveFiveGigabytes(response, sent);
    });
    downloader->downloadImage(server.url("/huge"), options(), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    const auto& result = outcomes.results[0];
    if (GetParam().loads) {
        ASSERT_TRUE(result.isSuccess()) << result.error().what();
        EXPECT_EQ(result.value().originalData, ImageServer::png());
    } else {
        ASSERT_TRUE(result.isFailure());
        EXPECT_EQ(result.error().reason(), Reason::URLSessionError) << result.error().what();
    }
    // What the socket buffers took before the transfer was stopped, far from the body.
    EXPECT_LT(sent->load(), qint64(32) << 20);
}

INSTANTIATE_TEST_SUITE_P(Statuses, DownloaderHugeBodyTest,
                         ::testing::Values(HugeBody{"Image", 200, false}, HugeBody{"Found", 302, true},
                                           HugeBody{"PermanentRedirect", 308, true}),
                         [](const auto& param) { return std::string(param.param.name); });

// A request that would wait for ever, or a body that only trickles, against a 1 s time-out.
struct SlowRequest {
    const char* name;
    QString path;
    std::function<PictorParsedOptionsInfo(const QUrl& hanging)> options;
};

class DownloaderTimeOutTest : public DownloaderLimitsTest, public ::testing::WithParamInterface<SlowRequest> {};

TEST_P(DownloaderTimeOutTest, TheWholeTransferIsBounded)
{
    server.routes().Get("/hang", [this](const httplib::Request&, httplib::Response& response) {
        server.waitForShutdown(60000);
        response.set_content(ImageServer::png().toStdString(), "image/png");
    });
    server.routes().Get("/drip", [this](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(1 << 20, "image/png", [this](size_t, size_t, httplib::DataSink& sink) {
            return sink.write("x", 1) && !server.waitForShutdown(100);
        });
    });
    downloader->setDownloadTimeout(1.0);
    downloader->downloadImage(server.url(GetParam().path), GetParam().options(server.url("/hang")), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    ASSERT_TRUE(outcomes.results[0].isFailure());
    EXPECT_EQ(outcomes.results[0].error().reason(), Reason::URLSessionError) << outcomes.results[0].error().what();
}

INSTANTIATE_TEST_SUITE_P(
    Requests, DownloaderTimeOutTest,
    ::testing::Values(SlowRequest{"FreshRequestOfAModifier", "/image.png",
                                  [](const QUrl& hanging) {
                                      return withModifier(std::make_shared<AnyModifier>([hanging](const QNetworkRequest&) {
                                          return std::optional(QNetworkRequest(hanging));
                                      }));
                                  }},
                      SlowRequest{"FreshRequestOfARedirectHandler", "/moved",
                                  [](const QUrl& hanging) {
                                      return options({PictorOptionsInfoItem::redirectHandler(std::make_shared<AnyRedirectHandler>(
                                          [hanging](auto, const URLResponse&, const QNetworkRequest&, AnyRedirectHandler::Answer answer) {
                                              answer(QNetworkRequest(hanging));
                                          }))});
                                  }},
                      SlowRequest{"Trickle", "/drip", [](const QUrl&) { return options(); }}),
    [](const auto& param) { return std::string(param.param.name); });

struct CredentialsCase {
    const char* name;
    bool otherOrigin;
};

class DownloaderCredentialsTest : public DownloaderLimitsTest, public ::testing::WithParamInterface<CredentialsCase> {};

TEST_P(DownloaderCredentialsTest, StayWithTheirOrigin)
{
    // Another port of the same address is another origin.
    ImageServer other;
    ImageServer& target = GetParam().otherOrigin ? other : server;
    std::mutex mutex;
    std::optional<std::pair<std::string, std::string>> received;
    target.routes().Get("/echo", [&](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(mutex);
        received.emplace(request.get_header_value("Authorization"), request.get_header_value("Cookie"));
        response.set_content(ImageServer::png().toStdString(), "image/png");
    });
    const std::string echo = target.url("/echo").toString().toStdString();
    server.routes().Get("/away", [echo](const httplib::Request&, httplib::Response& response) { response.set_redirect(echo, 302); });
    auto signIn = std::make_shared<AnyModifier>([](const QNetworkRequest& request) {
        QNetworkRequest signed_ = request;
        signed_.setRawHeader("Authorization", "Bearer secret");
        signed_.setRawHeader("Cookie", "session=1");
        return std::optional(signed_);
    });
    downloader->downloadImage(server.url("/away"), withModifier(signIn), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    ASSERT_TRUE(outcomes.results[0].isSuccess()) << outcomes.results[0].error().what();
    std::lock_guard lock(mutex);
    ASSERT_TRUE(received);
    const std::pair<std::string, std::string> expected
        = GetParam().otherOrigin ? std::pair<std::string, std::string>() : std::pair<std::string, std::string>("Bearer secret", "session=1");
    EXPECT_EQ(*received, expected);
}

INSTANTIATE_TEST_SUITE_P(Redirections, DownloaderCredentialsTest,
                         ::testing::Values(CredentialsCase{"SameOrigin", false}, CredentialsCase{"OtherOrigin", true}),
                         [](const auto& param) { return std::string(param.param.name); });

// A plain HTTP server on a free port, counting its requests.
class PlainServer {
public:
    PlainServer()
    {
        server_.Get("/image.png", [this](const httplib::Request&, httplib::Response& response) {
            ++hits;
            response.set_content(ImageServer::png().toStdString(), "image/png");
        });
        // Bound and listening here: a request made before the thread accepts it waits in the queue.
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~PlainServer()
    {
        server_.stop();
        thread_.join();
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/image.png").arg(port_)); }

    std::atomic<int> hits = 0;

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

struct DowngradeCase {
    const char* name;
    bool byHandler; // else by the server's redirection
};

class DownloaderDowngradeTest : public DownloaderLimitsTest, public ::testing::WithParamInterface<DowngradeCase> {};

TEST_P(DownloaderDowngradeTest, IsRefusedBeforeAnythingIsSentInClear)
{
    PlainServer plain;
    const std::string clear = plain.url().toString().toStdString();
    server.routes().Get("/to-plain", [clear](const httplib::Request&, httplib::Response& response) { response.set_redirect(clear, 302); });
    const QUrl plainUrl = plain.url();
    PictorParsedOptionsInfo given = GetParam().byHandler
        ? options({PictorOptionsInfoItem::redirectHandler(std::make_shared<AnyRedirectHandler>(
              [plainUrl](auto, const URLResponse&, const QNetworkRequest& next, AnyRedirectHandler::Answer answer) {
                  QNetworkRequest moved = next;
                  moved.setUrl(plainUrl);
                  answer(moved);
              }))})
        : options();
    downloader->downloadImage(server.url(GetParam().byHandler ? "/moved" : "/to-plain"), given, outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    const auto& result = outcomes.results[0];
    ASSERT_TRUE(result.isFailure());
    EXPECT_EQ(result.error().reason(), Reason::URLSessionError);
    EXPECT_TRUE(QString::fromUtf8(result.error().what()).contains(QStringLiteral("not encrypted"))) << result.error().what();
    EXPECT_EQ(plain.hits.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Ways, DownloaderDowngradeTest,
                         ::testing::Values(DowngradeCase{"ServerRedirection", false}, DowngradeCase{"RedirectHandler", true}),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
