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

// The downloader's time-out as set, and a request modifier's own, against an image answered
// after 400 ms (at once when the server stops).
struct TimeOutSetting {
    const char* name;
    double seconds;
    int modifiersMs; // 0: the modifier sets none
    bool loads;
};

class DownloaderTimeOutSettingTest : public DownloaderLimitsTest, public ::testing::WithParamInterface<TimeOutSetting> {};

TEST_P(DownloaderTimeOutSettingTest, BoundsALoadAsSet)
{
    server.routes().Get("/late.png", [this](const httplib::Request&, httplib::Response& response) {
        if (!server.waitForShutdown(400))
            response.set_content(ImageServer::png().toStdString(), "image/png");
    });
    downloader->setDownloadTimeout(GetParam().seconds);
    const int modifiersMs = GetParam().modifiersMs;
    downloader->downloadImage(server.url("/late.png"), withModifier(std::make_shared<AnyModifier>([modifiersMs](const QNetworkRequest& given) {
                                  QNetworkRequest request = given;
                                  if (modifiersMs > 0)
                                      request.setTransferTimeout(modifiersMs);
                                  return std::optional(request);
                              })),
                              outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    const auto& result = outcomes.results[0];
    ASSERT_EQ(result.isSuccess(), GetParam().loads) << (result.isFailure() ? result.error().what() : "loaded");
    if (result.isFailure()) {
        EXPECT_TRUE(QString::fromUtf8(result.error().what()).contains(QStringLiteral("timed out"))) << result.error().what();
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, DownloaderTimeOutSettingTest,
                         ::testing::Values(TimeOutSetting{"UnderAMillisecondIsTheShortest", 0.0004, 0, false},
                                           TimeOutSetting{"NoneWaits", 0, 0, true},
                                           TimeOutSetting{"NegativeIsNone", -1, 0, true},
                                           TimeOutSetting{"LongerThanTheAnswer", 5, 0, true},
                                           TimeOutSetting{"ModifiersOwnWithoutTheDownloaders", 0, 100, false},
                                           TimeOutSetting{"ModifiersShorterOne", 5, 100, false}),
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

// Silent requests of one downloader against a host: once they have failed, another downloader of
// the same trust, so of the same connections, still loads from that host.
struct SilentCase {
    const char* name;
    bool builtByRedirectHandler; // else the first request itself hangs
};

class DownloaderSilentServerTest : public DownloaderLimitsTest, public ::testing::WithParamInterface<SilentCase> {};

TEST_P(DownloaderSilentServerTest, AFailedRequestGivesItsConnectionBack)
{
    server.routes().Get(R"(/hang/(\d+))", [this](const httplib::Request&, httplib::Response&) { server.waitForShutdown(60000); });
    downloader->setDownloadTimeout(0.5);
    for (int i = 0; i < 6; ++i) {
        const QUrl hanging = server.url(QStringLiteral("/hang/%1").arg(i));
        if (GetParam().builtByRedirectHandler) {
            auto handler = std::make_shared<AnyRedirectHandler>(
                [hanging](auto, const URLResponse&, const QNetworkRequest&, AnyRedirectHandler::Answer answer) { answer(QNetworkRequest(hanging)); });
            downloader->downloadImage(server.url(QStringLiteral("/moved?%1").arg(i)), options({PictorOptionsInfoItem::redirectHandler(handler)}),
                                      outcomes.completion());
        } else {
            downloader->downloadImage(hanging, options(), outcomes.completion());
        }
    }
    ASSERT_TRUE(outcomes.waitFor(6));
    for (const auto& result : outcomes.results)
        EXPECT_TRUE(QString::fromUtf8(result.error().what()).contains(QStringLiteral("timed out"))) << result.error().what();
    auto other = ImageServer::downloader();
    other->setDownloadTimeout(3.0);
    other->downloadImage(server.url("/image.png"), options(), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(7));
    EXPECT_TRUE(outcomes.results[6].isSuccess()) << outcomes.results[6].error().what();
}

INSTANTIATE_TEST_SUITE_P(Requests, DownloaderSilentServerTest,
                         ::testing::Values(SilentCase{"FirstRequest", false}, SilentCase{"BuiltByARedirectHandler", true}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(DownloaderLimitsTest, ABurstFromOneHostWaitsForConnectionsOnNoClock)
{
    // Twenty times as many images as Qt opens connections to a host, each answered in a twelfth
    // of the time-out (room for a loaded machine's handshakes, which took over 2 s beside a full
    // test run): the last go out well past the time-out after they were asked for, and all load.
    server.routes().Get(R"(/twelfth/(\d+).png)", [this](const httplib::Request&, httplib::Response& response) {
        server.waitForShutdown(500);
        response.set_content(ImageServer::png().toStdString(), "image/png");
    });
    downloader->setDownloadTimeout(6.0);
    constexpr int kImages = 120;
    for (int i = 0; i < kImages; ++i)
        downloader->downloadImage(server.url(QStringLiteral("/twelfth/%1.png").arg(i)), options(), outcomes.completion());
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcomes.results.size() == kImages; }, 90000));
    for (const auto& result : outcomes.results)
        EXPECT_TRUE(result.isSuccess()) << result.error().what();
}

TEST_F(DownloaderLimitsTest, AnImageTakingLongerThanTheTimeOutFailsAndOneWithinLoads)
{
    // The image in twenty pieces spread over the given milliseconds: data keeps coming, so only
    // the bound on the whole transfer can end it.
    server.routes().Get(R"(/spread/(\d+).png)", [this](const httplib::Request& request, httplib::Response& response) {
        const int pause = std::stoi(request.matches[1]) / 20;
        const std::string body = ImageServer::png().toStdString();
        const size_t piece = (body.size() + 19) / 20;
        response.set_content_provider(body.size(), "image/png", [this, pause, body, piece](size_t offset, size_t, httplib::DataSink& sink) {
            server.waitForShutdown(pause);
            return sink.write(body.data() + offset, std::min(piece, body.size() - offset));
        });
    });
    // The one within takes a fortieth of the time-out, and the room left for a loaded machine.
    downloader->setDownloadTimeout(4.0);
    downloader->downloadImage(server.url("/spread/8000.png"), options(), outcomes.completion());
    downloader->downloadImage(server.url("/spread/100.png"), options(), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(2));
    const bool lateFirst = outcomes.results[0].isFailure();
    const auto& late = outcomes.results[lateFirst ? 0 : 1];
    const auto& early = outcomes.results[lateFirst ? 1 : 0];
    ASSERT_TRUE(late.isFailure()) << "an image taking twice the time-out was waited for";
    EXPECT_TRUE(QString::fromUtf8(late.error().what()).contains(QStringLiteral("timed out"))) << late.error().what();
    EXPECT_TRUE(early.isSuccess()) << early.error().what();
}

TEST_F(DownloaderLimitsTest, QtsOwnIdleTimeOutIsReportedAsATimeOut)
{
    server.routes().Get("/hang", [this](const httplib::Request&, httplib::Response&) { server.waitForShutdown(60000); });
    const QUrl hanging = server.url("/hang");
    // A redirect handler asks for a shorter idle time-out than the downloader's, which Qt keeps.
    auto handler = std::make_shared<AnyRedirectHandler>([hanging](auto, const URLResponse&, const QNetworkRequest&, AnyRedirectHandler::Answer answer) {
        QNetworkRequest quick(hanging);
        quick.setTransferTimeout(300);
        answer(quick);
    });
    downloader->setDownloadTimeout(60.0);
    downloader->downloadImage(server.url("/moved"), options({PictorOptionsInfoItem::redirectHandler(handler)}), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    const QString why = QString::fromUtf8(outcomes.results[0].error().what());
    EXPECT_TRUE(why.contains(QStringLiteral("timed out: nothing arrived for 300 ms"))) << why.toStdString();
}

struct RedirectPage {
    const char* name;
    qint64 bodyBytes;
    // Fewer than announced: the server closes the connection after them.
    std::optional<qint64> sentBytes = std::nullopt;
};

class DownloaderRedirectPageTest : public DownloaderLimitsTest, public ::testing::WithParamInterface<RedirectPage> {};

TEST_P(DownloaderRedirectPageTest, ARedirectionNotFollowedHandsOnItsWholePageUpToTheBound)
{
    auto sent = std::make_shared<std::atomic<qint64>>(0);
    const qint64 bytes = GetParam().bodyBytes;
    const std::optional<qint64> cut = GetParam().sentBytes;
    server.routes().Get("/moved-page", [sent, bytes, cut](const httplib::Request&, httplib::Response& response) {
        response.status = 302;
        response.set_header("Location", "/image.png");
        if (cut)
            response.set_content_provider(size_t(bytes), "text/html", [head = std::string(size_t(*cut), 'p')](size_t offset, size_t, httplib::DataSink& sink) {
                return offset == 0 && sink.write(head.data(), head.size());
            });
        else if (bytes <= 1024)
            response.set_content(std::string(size_t(bytes), 'p'), "text/html");
        else
            serveFiveGigabytes(response, sent);
    });
    auto handler = std::make_shared<AnyRedirectHandler>(
        [](auto, const URLResponse&, const QNetworkRequest&, AnyRedirectHandler::Answer answer) { answer(std::nullopt); });
    PictorParsedOptionsInfo given = options({PictorOptionsInfoItem::redirectHandler(handler)});
    std::optional<ImageDownloader::LivePhotoResult> result;
    downloader->downloadLivePhotoResource(server.url("/moved-page"), given, [&](ImageDownloader::LivePhotoResult r) { result = std::move(r); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
    if (cut) {
        ASSERT_TRUE(result->isFailure()) << "a page cut short was handed on";
        EXPECT_EQ(result->error().reason(), Reason::URLSessionError) << result->error().what();
        return;
    }
    ASSERT_TRUE(result->isSuccess()) << result->error().what();
    const qint64 expected = std::min(bytes, ImageDownloadRedirectHandler::kFinalBodyLimit);
    EXPECT_EQ(result->value().originalData.size(), expected);
    EXPECT_LT(sent->load(), qint64(32) << 20);
    EXPECT_EQ(server.hits("/image.png"), 0);
}

INSTANTIATE_TEST_SUITE_P(Bodies, DownloaderRedirectPageTest,
                         ::testing::Values(RedirectPage{"Short", 300}, RedirectPage{"FiveGigabytes", qint64(5) << 30},
                                           RedirectPage{"CutShort", 1000, 100}),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
