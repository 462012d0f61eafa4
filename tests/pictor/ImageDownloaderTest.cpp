#include "DownloadOutcomes.h"
#include "ImageServer.h"
#include "LoopbackPorts.h"
#include "support/Eventually.h"
#include "support/TaskWait.h"

#include "pictor/networking/AnyModifier.h"
#include "pictor/networking/AnyRedirectHandler.h"
#include "pictor/networking/DownloadTask.h"
#include "pictor/networking/SessionDataTask.h"
#include "pictor/networking/SessionManager.h"
#include "pictor/networking/SessionManagers.h"
#include "pictor/networking/TransferBudget.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <thread>

#include <gtest/gtest.h>

using namespace pictor;

namespace {

using Reason = PictorError::Reason;

// A request modifier that answers only when released.
class HeldModifier : public AsyncImageDownloadRequestModifier {
public:
    QCoro::Task<std::optional<QNetworkRequest>> modifiedAsync(QNetworkRequest request) const override
    {
        const QFuture<void> opened = gate->future();
        co_await opened;
        co_return request;
    }
    void release() const { gate->reportFinished(); }
    std::shared_ptr<QFutureInterface<void>> gate = [] {
        auto made = std::make_shared<QFutureInterface<void>>();
        made->reportStarted();
        return made;
    }();
};

class ImageDownloaderTest : public ::testing::Test {
protected:
    ImageServer server;
    std::shared_ptr<ImageDownloader> downloader = ImageServer::downloader();
};

struct BadInput {
    const char* name;
    QString path;
    Reason reason;
    // Only a server that never answers is waited out: the others answer, however loaded the
    // machine, and a short time-out would turn their reason into a time-out's.
    double timeoutSeconds = 30;
};

class DownloaderBadInputTest : public ImageDownloaderTest, public ::testing::WithParamInterface<BadInput> {};

TEST_P(DownloaderBadInputTest, CompletesOnceWithTheReason)
{
    downloader->setDownloadTimeout(GetParam().timeoutSeconds);
    const QUrl url = GetParam().path.startsWith(QLatin1Char('/')) ? server.url(GetParam().path) : QUrl(GetParam().path);
    Outcomes outcomes;
    downloader->downloadImage(url, options(), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    QTest::qWait(100);
    ASSERT_EQ(outcomes.results.size(), 1);
    ASSERT_TRUE(outcomes.results[0].isFailure());
    EXPECT_EQ(outcomes.results[0].error().reason(), GetParam().reason) << outcomes.results[0].error().what();
    // Nothing is left filed: the same URL starts a new transfer.
    if (url.scheme() == QLatin1String("https")) {
        downloader->downloadImage(url, options(), outcomes.completion());
        ASSERT_TRUE(outcomes.waitFor(2));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Servers, DownloaderBadInputTest,
    ::testing::Values(BadInput{"NotFound", "/status/404", Reason::invalidHTTPStatusCode},
                      BadInput{"ServerError", "/status/500", Reason::invalidHTTPStatusCode},
                      BadInput{"Html", "/page.html", Reason::processingFailed},
                      BadInput{"RedirectLoop", "/loop", Reason::URLSessionError},
                      BadInput{"RedirectToFile", "/to-file", Reason::URLSessionError},
                      BadInput{"CutBody", "/cut.png", Reason::URLSessionError},
                      BadInput{"FiveGigabytes", "/huge.png", Reason::URLSessionError},
                      BadInput{"Silent", "/silent.png", Reason::URLSessionError, 0.5},
                      BadInput{"NotHttp", "ftp://127.0.0.1/image.png", Reason::URLSessionError},
                      BadInput{"File", "file:///dev/zero", Reason::URLSessionError},
                      BadInput{"Empty", "", Reason::invalidURL}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(ImageDownloaderTest, UnknownCertificateFailsUnlessTheHostIsTrusted)
{
    auto untrusting = ImageServer::downloader(false);
    Outcomes outcomes;
    untrusting->downloadImage(server.url("/image.png"), options(), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    EXPECT_EQ(outcomes.results[0].error().reason(), Reason::URLSessionError);

    untrusting->setTrustedHosts(QSet<QString>{QStringLiteral("127.0.0.1")});
    untrusting->downloadImage(server.url("/image.png"), options(), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(2));
    EXPECT_TRUE(outcomes.results[1].isSuccess());
}

TEST_F(ImageDownloaderTest, MadeOnAThreadWithoutAnEventLoopStillDownloads)
{
    std::shared_ptr<ImageDownloader> made;
    Outcomes outcomes;
    std::thread([&] {
        made = ImageServer::downloader();
        made->downloadImage(server.url("/image.png"), options(), outcomes.completion());
    }).join();
    ASSERT_TRUE(outcomes.waitFor(1));
    EXPECT_TRUE(outcomes.results[0].isSuccess());
}

TEST_F(ImageDownloaderTest, EmptyNameIsRefusedWithoutEndingTheProcess)
{
    EXPECT_THROW(ImageDownloader::create(QString()), std::invalid_argument);
}

TEST_F(ImageDownloaderTest, HundredCallersShareOneTransfer)
{
    Outcomes outcomes;
    QList<std::shared_ptr<DownloadTask>> handles;
    for (int i = 0; i < 100; ++i)
        handles.append(downloader->downloadImage(server.url("/slow.png"), options(), outcomes.completion()));
    EXPECT_EQ(handles[0]->sessionTask(), handles[99]->sessionTask());
    EXPECT_EQ(handles[99]->cancelToken(), 99);
    ASSERT_TRUE(outcomes.waitFor(100));
    EXPECT_EQ(server.hits("/slow.png"), 1);
    for (const auto& result : outcomes.results) {
        ASSERT_TRUE(result.isSuccess());
        EXPECT_EQ(result.value().originalData, ImageServer::png());
        EXPECT_EQ(result.value().image.size(), QSizeF(32, 24));
        ASSERT_TRUE(result.value().metrics);
        EXPECT_EQ(result.value().metrics->responseBodyBytesReceived, ImageServer::png().size());
    }
    // The finished transfer is forgotten: the next caller starts another.
    downloader->downloadImage(server.url("/slow.png"), options(), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(101));
    EXPECT_EQ(server.hits("/slow.png"), 2);
}

// Each case withdraws some callers of one slow transfer in a given way.
struct Withdrawal {
    const char* name;
    std::function<void(ImageDownloader&, const QUrl&, QList<std::shared_ptr<DownloadTask>>&)> act;
    int cancelled;
};

class DownloaderWithdrawalTest : public ImageDownloaderTest, public ::testing::WithParamInterface<Withdrawal> {};

TEST_P(DownloaderWithdrawalTest, EachCallerCompletesOnce)
{
    const QUrl url = server.url("/slow.png");
    QList<Outcomes> outcomes(3);
    QList<std::shared_ptr<DownloadTask>> handles;
    for (Outcomes& caller : outcomes)
        handles.append(downloader->downloadImage(url, options(), caller.completion()));
    GetParam().act(*downloader, url, handles);
    for (Outcomes& caller : outcomes)
        ASSERT_TRUE(caller.waitFor(1));
    QTest::qWait(600);
    int cancelled = 0;
    for (qsizetype i = 0; i < outcomes.size(); ++i) {
        ASSERT_EQ(outcomes[i].results.size(), 1) << i;
        const auto& result = outcomes[i].results[0];
        if (result.isFailure()) {
            EXPECT_EQ(result.error().reason(), Reason::taskCancelled);
            EXPECT_EQ(result.error().number(), i);
            ++cancelled;
        }
    }
    EXPECT_EQ(cancelled, GetParam().cancelled);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, DownloaderWithdrawalTest,
    ::testing::Values(Withdrawal{"OneHandle", [](auto&, auto&, auto& handles) { handles[1]->cancel(); }, 1},
                      Withdrawal{"OneHandleTwice", [](auto&, auto&, auto& handles) { handles[0]->cancel(); handles[0]->cancel(); }, 1},
                      Withdrawal{"EveryHandle", [](auto&, auto&, auto& handles) { for (auto& h : handles) h->cancel(); }, 3},
                      Withdrawal{"ByUrl", [](auto& d, auto& url, auto&) { d.cancel(url); }, 3},
                      Withdrawal{"All", [](auto& d, auto&, auto&) { d.cancelAll(); }, 3},
                      Withdrawal{"AfterTheEnd",
                                 [](auto&, auto&, auto& handles) {
                                     ASSERT_TRUE(QTest::qWaitFor([&] { return !handles[0]->sessionTask()->callbacks().size(); }, 5000));
                                     handles[0]->cancel();
                                 },
                                 0}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(ImageDownloaderTest, WithdrawingFromSomeTransfersLeavesTheOthersRunning)
{
    // One caller fetches two files; another fetches one of them and a third, and withdraws at once.
    QList<Outcomes> kept(2), withdrawn(2);
    downloader->downloadImage(server.url("/slow.png"), options(), kept[0].completion());
    downloader->downloadImage(server.url("/image.png"), options(), kept[1].completion());
    auto first = downloader->downloadImage(server.url("/slow.png?b"), options(), withdrawn[0].completion());
    auto second = downloader->downloadImage(server.url("/image.png"), options(), withdrawn[1].completion());
    first->cancel();
    second->cancel();
    for (Outcomes& caller : kept) {
        ASSERT_TRUE(caller.waitFor(1));
        EXPECT_TRUE(caller.results[0].isSuccess()) << caller.results[0].error().what();
    }
    for (Outcomes& caller : withdrawn) {
        ASSERT_TRUE(caller.waitFor(1));
        EXPECT_EQ(caller.results[0].error().reason(), Reason::taskCancelled);
    }
}

TEST_F(ImageDownloaderTest, DestroyingTheDownloaderCancelsEveryWaitingCaller)
{
    Outcomes outcomes;
    downloader->downloadImage(server.url("/slow.png"), options(), outcomes.completion());
    downloader->downloadImage(server.url("/slow.png"), options(), outcomes.completion());
    downloader->downloadImage(server.url("/silent.png"), options(), outcomes.completion());
    downloader.reset();
    ASSERT_TRUE(outcomes.waitFor(3));
    QTest::qWait(600);
    ASSERT_EQ(outcomes.results.size(), 3);
    for (const auto& result : outcomes.results)
        EXPECT_TRUE(result.isFailure() && result.error().isTaskCancelled());
}

TEST_F(ImageDownloaderTest, CancelBeforeTheAsyncModifierAnsweredWithdrawsNothing)
{
    for (const bool awaited : {false, true}) {
        auto modifier = std::make_shared<HeldModifier>();
        std::optional<ImageDownloader::ImageResult> result;
        if (awaited) {
            std::stop_source stop;
            QTimer::singleShot(50, [&] {
                stop.request_stop();
                modifier->release();
            });
            try {
                result.emplace(ImageDownloader::ImageResult::success(
                    waitForTask(downloader->downloadImageAsync(server.url("/image.png"), withModifier(modifier), stop.get_token()))));
            } catch (const PictorError& error) {
                result.emplace(ImageDownloader::ImageResult::failure(error));
            }
        } else {
            Outcomes outcomes;
            auto handle = downloader->downloadImage(server.url("/image.png"), withModifier(modifier), outcomes.completion());
            EXPECT_FALSE(handle->isInitialized());
            handle->cancel();
            modifier->release();
            ASSERT_TRUE(outcomes.waitFor(1));
            EXPECT_TRUE(handle->isInitialized());
            result = outcomes.results[0];
        }
        ASSERT_TRUE(result->isSuccess()) << "awaited " << awaited << ": " << result->error().what();
        EXPECT_EQ(result->value().originalData, ImageServer::png());
    }
}

struct ModifierCase {
    const char* name;
    AnyModifier::Block block;
    QString expectedPath; // empty: emptyRequest
};

class DownloaderModifierTest : public ImageDownloaderTest, public ::testing::WithParamInterface<ModifierCase> {};

TEST_P(DownloaderModifierTest, TheFinalRequestDecides)
{
    Outcomes outcomes;
    auto handle = downloader->downloadImage(server.url("/status/404"), withModifier(std::make_shared<AnyModifier>(GetParam().block)),
                                            outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    if (GetParam().expectedPath.isEmpty()) {
        EXPECT_EQ(outcomes.results[0].error().reason(), Reason::emptyRequest);
        EXPECT_FALSE(handle->isInitialized());
        return;
    }
    ASSERT_TRUE(outcomes.results[0].isSuccess());
    EXPECT_EQ(outcomes.results[0].value().url.path(), GetParam().expectedPath);
}

INSTANTIATE_TEST_SUITE_P(Modifiers, DownloaderModifierTest,
                         ::testing::Values(ModifierCase{"NoRequest", [](const QNetworkRequest&) { return std::nullopt; }, {}},
                                           ModifierCase{"OtherUrl",
                                                        [](const QNetworkRequest& request) {
                                                            QNetworkRequest moved = request;
                                                            QUrl url = request.url();
                                                            url.setPath(QStringLiteral("/image.png"));
                                                            moved.setUrl(url);
                                                            return std::optional(moved);
                                                        },
                                                        QStringLiteral("/image.png")}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(ImageDownloaderTest, TheLastCallersRedirectHandlerDecides)
{
    auto handler = [](bool follow) {
        return options({PictorOptionsInfoItem::redirectHandler(std::make_shared<AnyRedirectHandler>(
            [follow](auto, const URLResponse&, const QNetworkRequest& next, AnyRedirectHandler::Answer answer) {
                answer(follow ? std::optional(next) : std::nullopt);
            }))});
    };
    for (const bool follow : {true, false}) {
        Outcomes outcomes;
        downloader->downloadImage(server.url("/slowly-moved"), handler(!follow), outcomes.completion());
        downloader->downloadImage(server.url("/slowly-moved"), handler(follow), outcomes.completion());
        downloader->downloadImage(server.url("/slowly-moved"), options(), outcomes.completion());
        ASSERT_TRUE(outcomes.waitFor(3));
        for (const auto& result : outcomes.results)
            EXPECT_EQ(result.isSuccess(), follow);
    }
}

// A chain of redirections: how many hops, whether the image arrives, and the requests it takes.
struct HopsCase {
    const char* name;
    int hops;
    bool loads;
    int requests;
};

class DownloaderHopsTest : public ImageDownloaderTest, public ::testing::WithParamInterface<HopsCase> {};

TEST_P(DownloaderHopsTest, FollowsSixteenRedirectionsAndStopsAtTheSeventeenth)
{
    Outcomes outcomes;
    downloader->downloadImage(server.url(QStringLiteral("/hops/%1").arg(GetParam().hops)), options(), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    const auto& result = outcomes.results[0];
    if (GetParam().loads) {
        ASSERT_TRUE(result.isSuccess()) << result.error().what();
        EXPECT_EQ(result.value().originalData, ImageServer::png());
        ASSERT_TRUE(result.value().metrics);
        EXPECT_EQ(result.value().metrics->redirectCount, GetParam().hops);
        EXPECT_EQ(result.value().metrics->responseBodyBytesReceived, ImageServer::png().size());
    } else {
        ASSERT_TRUE(result.isFailure());
        EXPECT_EQ(result.error().reason(), Reason::URLSessionError);
        EXPECT_TRUE(QString::fromUtf8(result.error().what()).contains(QStringLiteral("more than 16 redirections"))) << result.error().what();
    }
    // The server logs a request after answering it; no request follows the end.
    ASSERT_EVENTUALLY(server.hitsUnder("/hops/") >= GetParam().requests, 5000);
    QTest::qWait(200);
    EXPECT_EQ(server.hitsUnder("/hops/"), GetParam().requests);
}

INSTANTIATE_TEST_SUITE_P(Chains, DownloaderHopsTest,
                         ::testing::Values(HopsCase{"Three", 3, true, 4}, HopsCase{"Sixteen", 16, true, 17},
                                           HopsCase{"Seventeen", 17, false, 17}, HopsCase{"Thirty", 30, false, 17}),
                         [](const auto& param) { return std::string(param.param.name); });

// A redirect handler's answer, given the request the library would send next.
struct AnsweredRedirect {
    const char* name;
    std::function<std::optional<QNetworkRequest>(const QNetworkRequest&)> answer;
    QString path;
    std::optional<Reason> reason; // none: the image loads
};

class DownloaderAnsweredRedirectTest : public ImageDownloaderTest, public ::testing::WithParamInterface<AnsweredRedirect> {};

TEST_P(DownloaderAnsweredRedirectTest, TheAnsweredRequestIsTheOneSent)
{
    auto handler = std::make_shared<AnyRedirectHandler>(
        [decide = GetParam().answer](auto, const URLResponse&, const QNetworkRequest& next, AnyRedirectHandler::Answer answer) {
            answer(decide(next));
        });
    Outcomes outcomes;
    downloader->downloadImage(server.url(GetParam().path), options({PictorOptionsInfoItem::redirectHandler(handler)}), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    const auto& result = outcomes.results[0];
    if (GetParam().reason) {
        ASSERT_TRUE(result.isFailure());
        EXPECT_EQ(result.error().reason(), *GetParam().reason) << result.error().what();
    } else {
        EXPECT_TRUE(result.isSuccess()) << result.error().what();
    }
}

QNetworkRequest withUrl(QNetworkRequest request, const QUrl& url)
{
    request.setUrl(url);
    return request;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DownloaderAnsweredRedirectTest,
    ::testing::Values(AnsweredRedirect{"AsProposed", [](const QNetworkRequest& next) { return std::optional(next); }, "/moved", std::nullopt},
                      AnsweredRedirect{"Elsewhere",
                                       [](const QNetworkRequest& next) {
                                           return std::optional(withUrl(next, next.url().resolved(QUrl(QStringLiteral("/image.png")))));
                                       },
                                       "/loop", std::nullopt},
                      // Not followed, the 302 is the answer: its status passes, its (empty) body is no image.
                      AnsweredRedirect{"Refused", [](const QNetworkRequest&) { return std::optional<QNetworkRequest>(); }, "/moved",
                                       Reason::processingFailed},
                      AnsweredRedirect{"ToAFile",
                                       [](const QNetworkRequest& next) { return std::optional(withUrl(next, QUrl(QStringLiteral("file:///dev/zero")))); },
                                       "/moved", Reason::URLSessionError}),
    [](const auto& param) { return std::string(param.param.name); });

QNetworkRequest withPass(QNetworkRequest request)
{
    request.setRawHeader("X-Pass", "1");
    return request;
}

// Where a header the final server requires is added, two redirections before it.
struct HeaderOrigin {
    const char* name;
    PictorParsedOptionsInfo options;
    std::optional<Reason> reason;
};

class DownloaderRedirectHeaderTest : public ImageDownloaderTest, public ::testing::WithParamInterface<HeaderOrigin> {};

TEST_P(DownloaderRedirectHeaderTest, HeadersGoOnThroughEveryHop)
{
    Outcomes outcomes;
    downloader->downloadImage(server.url("/pass/2"), GetParam().options, outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    const auto& result = outcomes.results[0];
    if (GetParam().reason) {
        ASSERT_TRUE(result.isFailure());
        EXPECT_EQ(result.error().reason(), *GetParam().reason) << result.error().what();
    } else {
        EXPECT_TRUE(result.isSuccess()) << result.error().what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Origins, DownloaderRedirectHeaderTest,
    ::testing::Values(HeaderOrigin{"Nowhere", options(), Reason::invalidHTTPStatusCode},
                      HeaderOrigin{"RequestModifier",
                                   withModifier(std::make_shared<AnyModifier>([](const QNetworkRequest& request) { return std::optional(withPass(request)); })),
                                   std::nullopt},
                      // Added to the first hop only, it must reach the last.
                      HeaderOrigin{"RedirectHandlerOnce",
                                   options({PictorOptionsInfoItem::redirectHandler(std::make_shared<AnyRedirectHandler>(
                                       [](auto, const URLResponse&, const QNetworkRequest& next, AnyRedirectHandler::Answer answer) {
                                           answer(next.url().path() == QLatin1String("/pass/1") ? withPass(next) : next);
                                       }))}),
                                   std::nullopt}),
    [](const auto& param) { return std::string(param.param.name); });

// Ways for the only caller to leave while the redirect handler decides.
struct LeavingDuringRedirect {
    const char* name;
    std::function<void(std::shared_ptr<ImageDownloader>&, const QUrl&)> leave;
};

class DownloaderLeavingDuringRedirectTest : public ImageDownloaderTest, public ::testing::WithParamInterface<LeavingDuringRedirect> {};

TEST_P(DownloaderLeavingDuringRedirectTest, NothingIsSentAfterTheHandlerAnswersAndNothingIsLeft)
{
    // A trust of this test alone, so that its network manager serves this transfer only.
    const TrustConfiguration trust{ImageServer::trusting(), QSet<QString>{QStringLiteral("leaving.during.redirect")}, 0, {}};
    downloader->setTrustedHosts(trust.trustedHosts);
    std::optional<AnyRedirectHandler::Answer> held;
    QNetworkRequest proposed;
    auto handler = std::make_shared<AnyRedirectHandler>([&](auto, const URLResponse&, const QNetworkRequest& next, AnyRedirectHandler::Answer answer) {
        proposed = next;
        held = std::move(answer);
    });
    const QUrl url = server.url("/moved");
    Outcomes outcomes;
    downloader->downloadImage(url, options({PictorOptionsInfoItem::redirectHandler(handler)}), outcomes.completion());
    ASSERT_EVENTUALLY(held.has_value(), 5000);
    const QPointer<QNetworkAccessManager> manager = SessionManagers::managerFor(trust)->network(url);
    GetParam().leave(downloader, url);
    ASSERT_TRUE(outcomes.waitFor(1));
    EXPECT_TRUE(outcomes.results[0].isFailure() && outcomes.results[0].error().isTaskCancelled());
    (*held)(proposed);
    QTest::qWait(300);
    EXPECT_EQ(outcomes.results.size(), 1);
    EXPECT_EQ(server.hits("/image.png"), 0);
    // Neither the left transfer nor its downloader, now of another trust or gone, holds the manager.
    if (downloader)
        downloader->setTrustedHosts(std::nullopt);
    ASSERT_EVENTUALLY(manager.isNull(), 5000);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, DownloaderLeavingDuringRedirectTest,
    ::testing::Values(LeavingDuringRedirect{"Cancel", [](auto& downloader, const QUrl& url) { downloader->cancel(url); }},
                      LeavingDuringRedirect{"DownloaderGoes", [](auto& downloader, const QUrl&) { downloader.reset(); }}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(ImageDownloaderTest, MetricsTimeTheWaitTheFinalRequestAndTheWholeTransferApart)
{
    // The server waits before answering /slow.png, and before redirecting /slowly-moved.
    Outcomes outcomes;
    downloader->downloadImage(server.url("/slow.png"), options(), outcomes.completion());
    downloader->downloadImage(server.url("/slowly-moved"), options(), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(2));
    QList<NetworkMetrics> metrics;
    for (const auto& result : outcomes.results) {
        ASSERT_TRUE(result.isSuccess()) << result.error().what();
        ASSERT_TRUE(result.value().metrics);
        metrics.append(*result.value().metrics);
    }
    const bool slowFirst = metrics[0].redirectCount == 0;
    const NetworkMetrics& slow = metrics[slowFirst ? 0 : 1];
    const NetworkMetrics& moved = metrics[slowFirst ? 1 : 0];
    for (const NetworkMetrics& each : metrics) {
        EXPECT_EQ(each.responseBodyBytesReceived, ImageServer::png().size());
        EXPECT_EQ(each.requestBodyBytesSent, 0);
        ASSERT_TRUE(each.firstByteDuration && each.retrieveImageDuration);
        EXPECT_LE(*each.firstByteDuration, *each.retrieveImageDuration);
        EXPECT_LE(*each.retrieveImageDuration, each.totalRequestDuration);
        // Qt reports neither end of the name lookup, nor the start of the TLS set-up alone.
        EXPECT_FALSE(each.domainLookupDuration || each.secureConnectionDuration);
    }
    EXPECT_EQ(slow.redirectCount, 0);
    // The server's wait lies between the hand-over and the answer's head. The request's own
    // send is stamped when the GUI thread takes Qt's report of it, which may come late.
    const NetworkMetrics::RequestTimes& waited = slow.rawMetrics.requests[0];
    ASSERT_TRUE(waited.responseStartNs);
    EXPECT_GE(*waited.responseStartNs - waited.fetchStartNs, 350'000'000);
    // The wait before the redirection belongs to the whole transfer, not to the final request.
    EXPECT_EQ(moved.redirectCount, 1);
    EXPECT_GE(moved.totalRequestDuration - *moved.retrieveImageDuration, 0.25);
}

TEST_F(ImageDownloaderTest, MetricsTimeANewConnectionsSetUpAndNothingOfAReusedOne)
{
    // A trust of this test alone: the first load opens a connection, the next reuses it.
    downloader->setTrustedHosts(QSet<QString>{QStringLiteral("fresh.connection")});
    Outcomes outcomes;
    for (int i = 1; i <= 2; ++i) {
        downloader->downloadImage(server.url(QStringLiteral("/image.png?%1").arg(i)), options(), outcomes.completion());
        ASSERT_TRUE(outcomes.waitFor(i));
    }
    QList<NetworkMetrics> metrics;
    for (const auto& result : outcomes.results) {
        ASSERT_TRUE(result.isSuccess()) << result.error().what();
        ASSERT_TRUE(result.value().metrics);
        metrics.append(*result.value().metrics);
        ASSERT_EQ(metrics.last().rawMetrics.requests.size(), 1);
        const NetworkMetrics::RequestTimes& raw = metrics.last().rawMetrics.requests[0];
        ASSERT_TRUE(raw.requestSentNs && raw.responseStartNs && raw.responseEndNs);
        EXPECT_LE(raw.fetchStartNs, *raw.requestSentNs);
        EXPECT_LE(*raw.requestSentNs, *raw.responseStartNs);
        EXPECT_EQ(raw.statusCode, 200);
    }
    const NetworkMetrics::RequestTimes& opened = metrics[0].rawMetrics.requests[0];
    ASSERT_TRUE(opened.connectStartNs && opened.secureConnectionEndNs);
    EXPECT_LE(*opened.secureConnectionEndNs, *opened.requestSentNs);
    ASSERT_TRUE(metrics[0].connectDuration);
    EXPECT_GT(*metrics[0].connectDuration, 0.0);
    const NetworkMetrics::RequestTimes& reused = metrics[1].rawMetrics.requests[0];
    EXPECT_FALSE(reused.connectStartNs || reused.secureConnectionEndNs);
    EXPECT_FALSE(metrics[1].connectDuration);
}

TEST_F(ImageDownloaderTest, MetricsTimeTheFirstByteFromTheRequestNotFromItsConnectionsSetUp)
{
    // A connection of its own, through a proxy that takes 800 ms to open it; the image comes at once.
    loopback::SlowOpeningProxy proxy(quint16(server.url("/").port()), 800);
    downloader->setTrustedHosts(QSet<QString>{QStringLiteral("slow.opening")});
    Outcomes outcomes;
    downloader->downloadImage(proxy.url("/image.png"), options(), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    ASSERT_TRUE(outcomes.results[0].isSuccess()) << outcomes.results[0].error().what();
    const std::optional<NetworkMetrics>& metrics = outcomes.results[0].value().metrics;
    ASSERT_TRUE(metrics && metrics->firstByteDuration);
    const NetworkMetrics::RequestTimes& raw = metrics->rawMetrics.requests[0];
    ASSERT_TRUE(raw.responseStartNs);
    EXPECT_GE(*raw.responseStartNs - raw.fetchStartNs, 750'000'000);
    EXPECT_LT(*metrics->firstByteDuration, 0.75);
}

TEST_F(ImageDownloaderTest, TransfersTogetherHoldNoMoreThanTheBudget)
{
    // Each body comes in three parts of 64 KiB with a pause before the second and the third.
    constexpr size_t kPart = 64 * 1024;
    server.routes().Get(R"(/parts/(\d+))", [](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(3 * kPart, "application/octet-stream", [](size_t offset, size_t, httplib::DataSink& sink) {
            static const std::string part(kPart, 'x');
            if (offset > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
            return sink.write(part.data(), part.size());
        });
    });
    TransferBudget& budget = TransferBudget::shared();
    const qint64 limit = budget.limit();
    // Both first parts fit, the second parts of both do not: one transfer fails there, and the
    // other, alone then, is received whole.
    budget.setLimit(qint64(3 * kPart + kPart / 2));
    Outcomes outcomes;
    downloader->downloadImage(server.url("/parts/1"), options(), outcomes.completion());
    downloader->downloadImage(server.url("/parts/2"), options(), outcomes.completion());
    const bool ended = outcomes.waitFor(2);
    budget.setLimit(limit);
    ASSERT_TRUE(ended);
    QStringList reasons;
    for (const auto& result : outcomes.results)
        reasons << QString::fromUtf8(result.error().what());
    EXPECT_EQ(reasons.filter(QStringLiteral("allowed for all")).size(), 1) << reasons.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(reasons.filter(QStringLiteral("data(%1 bytes").arg(3 * kPart)).size(), 1) << reasons.join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return budget.held() == 0; }, 5000)) << budget.held();
}

TEST_F(ImageDownloaderTest, UnknownLengthReportsNoProgressButCompletes)
{
    server.routes().Get("/unsized.png", [](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("image/png", [](size_t offset, httplib::DataSink& sink) {
            if (offset == 0) {
                const std::string body = ImageServer::png().toStdString();
                sink.write(body.data(), body.size());
            } else {
                sink.done();
            }
            return true;
        });
    });
    int reported = 0;
    Outcomes outcomes;
    downloader->downloadImage(server.url("/unsized.png"), std::nullopt, [&](qint64, qint64) { ++reported; }, outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    ASSERT_TRUE(outcomes.results[0].isSuccess());
    QTest::qWait(50);
    EXPECT_EQ(reported, 0) << "no share of an unknown whole";
}

// Records what it is told and answers as configured.
class RecordingDelegate : public ImageDownloaderDelegate {
public:
    bool refuseData = false;
    ResponseDisposition disposition = ResponseDisposition::allow;
    bool acceptEveryStatus = false;
    int willDownload = 0;
    int finished = 0;
    int images = 0;

    void willDownloadImage(ImageDownloader&, const QUrl&, const std::optional<QNetworkRequest>&) override { ++willDownload; }
    void didFinishDownloadingImage(ImageDownloader&, const QUrl&, const std::optional<URLResponse>&, const std::optional<PictorError>&) override
    {
        ++finished;
    }
    std::optional<QByteArray> didDownloadData(ImageDownloader&, const QByteArray& data, const QUrl&) override
    {
        return refuseData ? std::nullopt : std::optional(data);
    }
    void didDownloadImage(ImageDownloader&, const Image&, const QUrl&, const std::optional<URLResponse>&) override { ++images; }
    bool isValidStatusCode(qint64 code, ImageDownloader& downloader) override
    {
        return acceptEveryStatus || ImageDownloaderDelegate::isValidStatusCode(code, downloader);
    }
    QCoro::Task<ResponseDisposition> didReceiveResponse(ImageDownloader&, URLResponse) override { co_return disposition; }
};

struct DelegateCase {
    const char* name;
    std::function<void(RecordingDelegate&)> configure;
    QString path;
    std::optional<Reason> reason;
};

class DownloaderDelegateTest : public ImageDownloaderTest, public ::testing::WithParamInterface<DelegateCase> {};

TEST_P(DownloaderDelegateTest, IsToldOnceAndDecides)
{
    auto delegate = std::make_shared<RecordingDelegate>();
    GetParam().configure(*delegate);
    downloader->setDelegate(delegate);
    Outcomes outcomes;
    downloader->downloadImage(server.url(GetParam().path), options(), outcomes.completion());
    downloader->downloadImage(server.url(GetParam().path), options(), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(2));
    QTest::qWait(100);
    EXPECT_EQ(delegate->willDownload, 1);
    EXPECT_EQ(delegate->finished, 1);
    EXPECT_EQ(delegate->images, GetParam().reason ? 0 : 2);
    for (const auto& result : outcomes.results) {
        if (GetParam().reason)
            EXPECT_EQ(result.error().reason(), *GetParam().reason);
        else
            EXPECT_TRUE(result.isSuccess());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Delegates, DownloaderDelegateTest,
    ::testing::Values(DelegateCase{"Defaults", [](auto&) {}, "/slow.png", std::nullopt},
                      DelegateCase{"RefusesData", [](auto& d) { d.refuseData = true; }, "/slow.png", Reason::dataModifyingFailed},
                      DelegateCase{"CancelsResponse", [](auto& d) { d.disposition = ResponseDisposition::cancel; }, "/slow.png",
                                   Reason::cancelledByDelegate},
                      DelegateCase{"AcceptsNotFound", [](auto& d) { d.acceptEveryStatus = true; }, "/status/404", Reason::processingFailed}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(ImageDownloaderTest, ProgressReportsTheWholeTransfer)
{
    // Redirections are not part of the image: progress counts the final answer only.
    QList<std::pair<qint64, qint64>> progress;
    for (const char* path : {"/image.png", "/hops/3"}) {
        progress.clear();
        Outcomes outcomes;
        downloader->downloadImage(server.url(path), std::nullopt, [&](qint64 received, qint64 expected) { progress.append({received, expected}); },
                                  outcomes.completion());
        ASSERT_TRUE(outcomes.waitFor(1));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !progress.isEmpty() && progress.last().first == ImageServer::png().size(); }, 5000)) << path;
        EXPECT_EQ(progress.last().second, ImageServer::png().size()) << path;
        for (const auto& [received, expected] : progress)
            EXPECT_EQ(expected, ImageServer::png().size()) << path;
    }
}

TEST_F(ImageDownloaderTest, AsyncFormReturnsThrowsAndWithdraws)
{
    const ImageLoadingResult loaded = waitForTask(downloader->downloadImageAsync(server.url("/image.png"), options()));
    EXPECT_EQ(loaded.originalData, ImageServer::png());

    try {
        waitForTask(downloader->downloadImageAsync(server.url("/status/500"), options()));
        FAIL() << "a 500 answer must throw";
    } catch (const PictorError& error) {
        EXPECT_TRUE(error.isInvalidResponseStatusCode(500));
    }

    for (const bool early : {true, false}) {
        std::stop_source stop;
        if (early)
            stop.request_stop();
        else
            QTimer::singleShot(100, [&] { stop.request_stop(); });
        try {
            waitForTask(downloader->downloadImageAsync(server.url("/slow.png"), options(), stop.get_token()));
            FAIL() << "a withdrawn download must throw";
        } catch (const PictorError& error) {
            EXPECT_TRUE(error.isTaskCancelled());
        }
    }
}

TEST_F(ImageDownloaderTest, LivePhotoResourcesKeepTheirBytes)
{
    PictorParsedOptionsInfo decoding = options({PictorOptionsInfoItem::backgroundDecode()});
    const LivePhotoResourceDownloadingResult movie = waitForTask(downloader->downloadLivePhotoResourceAsync(server.url("/movie.mp4"), decoding));
    EXPECT_EQ(movie.originalData, ImageServer::movieBytes());
    EXPECT_EQ(movie.url, server.url("/movie.mp4"));
    EXPECT_THROW(waitForTask(downloader->downloadLivePhotoResourceAsync(server.url("/status/404"), decoding)), PictorError);
}

} // namespace
