#include "DownloadOutcomes.h"
#include "ImageServer.h"
#include "LoopbackPorts.h"
#include "support/Eventually.h"

#include "pictor/networking/SessionManager.h"
#include "pictor/networking/SessionManagers.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <gtest/gtest.h>

#include <array>
#include <condition_variable>
#include <set>

using namespace pictor;

namespace {

// Requests to /held/<name> that the test lets through one by one, in the order they arrived,
// each answered with the image, or with a redirection to `target` + <name>.
class HeldRequests {
public:
    void serve(ImageServer& server, const std::string& target = {})
    {
        server.routes().Get(R"(/held/(\w+))", [this, target](const httplib::Request& request, httplib::Response& response) {
            const std::string name = request.matches[1];
            std::unique_lock lock(mutex_);
            arrived_.push_back(name);
            changed_.wait(lock, [&] { return everything_ || released_.contains(name); });
            if (target.empty())
                response.set_content(ImageServer::png().toStdString(), "image/png");
            else
                response.set_redirect(target + name, 302);
        });
    }
    void release(const std::string& name)
    {
        std::lock_guard lock(mutex_);
        released_.insert(name);
        changed_.notify_all();
    }
    void releaseAll()
    {
        std::lock_guard lock(mutex_);
        everything_ = true;
        changed_.notify_all();
    }
    std::vector<std::string> arrived()
    {
        std::lock_guard lock(mutex_);
        return arrived_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> arrived_;
    std::set<std::string> released_;
    bool everything_ = false;
};

class SessionManagerTest : public ::testing::Test {
protected:
    ~SessionManagerTest() override
    {
        held->releaseAll();
        late->releaseAll();
    }

    // Six requests that hold every place the host has.
    void occupy(ImageDownloader& holder)
    {
        for (int i = 0; i < SessionManager::kConnectionsPerHost; ++i)
            holder.downloadImage(server.url(QStringLiteral("/held/place%1").arg(i)), options(), outcomes.completion());
    }

    // Before the servers, whose handlers it serves until they stop.
    std::unique_ptr<HeldRequests> held = std::make_unique<HeldRequests>();
    std::unique_ptr<HeldRequests> late = std::make_unique<HeldRequests>();
    ImageServer server;
    ImageServer other;
    // Before the downloaders, which complete their waiting callers when they go.
    Outcomes outcomes;
    std::shared_ptr<ImageDownloader> downloader = ImageServer::downloader();
};

// What is asked of a busy host, in this order: a load of its own, or a redirection from another
// host to it, whose hop reaches the host only once that host has answered: at once, or only once
// everything is asked, so that the hop comes after loads asked later.
enum class Asked { load, hop, lateHop };
struct AskedInTurn {
    const char* name;
    std::vector<Asked> asked;
};

class SessionManagerOrderTest : public SessionManagerTest, public ::testing::WithParamInterface<AskedInTurn> {};

TEST_P(SessionManagerOrderTest, AHostServesLoadsAndHopsInTheOrderTheirTransfersAsked)
{
    held->serve(server);
    const std::string base = server.url("/held/").toString().toStdString();
    other.routes().Get(R"(/via/(\w+))", [base](const httplib::Request& request, httplib::Response& response) {
        response.set_redirect(base + request.matches[1].str(), 302);
    });
    late->serve(other, base);
    // A trust of this test alone, so that its networks carry this test's requests only.
    downloader->setTrustedHosts(QSet<QString>{QStringLiteral("served.in.turn")});
    const std::shared_ptr<SessionManager> manager = SessionManagers::managerFor(
        TrustConfiguration{ImageServer::trusting(), downloader->trustedHosts(), 0, {}});
    // The redirections still open: a redirection answered and let go has its hop waiting.
    const auto redirecting = [&] { return manager->network(other.url("/"))->findChildren<QNetworkReply*>().size(); };
    occupy(*downloader);
    ASSERT_EVENTUALLY(held->arrived().size() == SessionManager::kConnectionsPerHost, 10000);

    std::vector<std::string> expected;
    // Redirections held back, each with its reply open.
    qsizetype heldBack = 0;
    for (const Asked asked : GetParam().asked) {
        const std::string name = "turn" + std::to_string(expected.size());
        expected.push_back(name);
        const QString path = QString::fromStdString(name);
        if (asked == Asked::load) {
            downloader->downloadImage(server.url(QStringLiteral("/held/") + path), options(), outcomes.completion());
        } else if (asked == Asked::hop) {
            downloader->downloadImage(other.url(QStringLiteral("/via/") + path), options(), outcomes.completion());
            ASSERT_EVENTUALLY(other.hits("/via/" + name) == 1 && redirecting() == heldBack, 10000);
        } else {
            downloader->downloadImage(other.url(QStringLiteral("/held/") + path), options(), outcomes.completion());
            ASSERT_EVENTUALLY(other.hits("/held/" + name) == 1, 10000);
            ++heldBack;
        }
    }
    late->releaseAll();
    ASSERT_EVENTUALLY(redirecting() == 0, 10000);
    // Each place given back lets exactly one waiting request go, which then holds it.
    for (int i = 0; i < int(expected.size()); ++i) {
        held->release("place" + std::to_string(i));
        ASSERT_EVENTUALLY(held->arrived().size() == size_t(SessionManager::kConnectionsPerHost + i + 1), 10000);
    }
    const std::vector<std::string> arrived = held->arrived();
    EXPECT_EQ(std::vector<std::string>(arrived.begin() + SessionManager::kConnectionsPerHost, arrived.end()), expected);
    held->releaseAll();
    ASSERT_TRUE(outcomes.waitFor(SessionManager::kConnectionsPerHost + qsizetype(expected.size())));
    for (const auto& result : outcomes.results)
        EXPECT_TRUE(result.isSuccess()) << result.error().what();
}

INSTANTIATE_TEST_SUITE_P(Sequences, SessionManagerOrderTest,
                         ::testing::Values(AskedInTurn{"Loads", {Asked::load, Asked::load, Asked::load}},
                                           AskedInTurn{"Hops", {Asked::hop, Asked::hop, Asked::hop}},
                                           AskedInTurn{"HopsAroundLoads", {Asked::hop, Asked::load, Asked::load, Asked::hop}},
                                           AskedInTurn{"LoadsAroundHops", {Asked::load, Asked::hop, Asked::hop, Asked::load}},
                                           AskedInTurn{"HopAnsweredAfterALoadAskedLater", {Asked::lateHop, Asked::load}},
                                           AskedInTurn{"HopsAnsweredAfterLoadsAskedBetween",
                                                       {Asked::load, Asked::lateHop, Asked::load, Asked::lateHop, Asked::load}}),
                         [](const auto& param) { return std::string(param.param.name); });

// Another downloader of the same trust, so of the same connections, holds the host's every place
// with requests that never end: a request of ours waits no longer than our own time-out.
struct HeldElsewhere {
    const char* name;
    double holdersTimeout; // 0: none
    Asked ours;
};

class SessionManagerPatienceTest : public SessionManagerTest, public ::testing::WithParamInterface<HeldElsewhere> {};

TEST_P(SessionManagerPatienceTest, ALoadWaitsForAPlaceNoLongerThanItsOwnTimeOut)
{
    held->serve(server);
    const std::string target = server.url("/image.png").toString().toStdString();
    other.routes().Get("/to-image", [target](const httplib::Request&, httplib::Response& response) { response.set_redirect(target, 302); });
    auto holder = ImageServer::downloader();
    holder->setDownloadTimeout(GetParam().holdersTimeout);
    occupy(*holder);
    ASSERT_EVENTUALLY(held->arrived().size() == SessionManager::kConnectionsPerHost, 10000);
    downloader->setDownloadTimeout(1.0);
    QElapsedTimer waited;
    waited.start();
    downloader->downloadImage(GetParam().ours == Asked::load ? server.url("/image.png") : other.url("/to-image"), options(),
                              outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    ASSERT_TRUE(outcomes.results[0].isFailure());
    EXPECT_TRUE(QString::fromUtf8(outcomes.results[0].error().what()).contains(QStringLiteral("timed out")))
        << outcomes.results[0].error().what();
    EXPECT_GE(waited.elapsed(), 1000);
    EXPECT_EQ(server.hits("/image.png"), 0);
}

INSTANTIATE_TEST_SUITE_P(Holders, SessionManagerPatienceTest,
                         ::testing::Values(HeldElsewhere{"NoTimeOutFirstRequest", 0, Asked::load},
                                           HeldElsewhere{"NoTimeOutRedirectHop", 0, Asked::hop},
                                           HeldElsewhere{"LongTimeOutFirstRequest", 60, Asked::load},
                                           HeldElsewhere{"LongTimeOutRedirectHop", 60, Asked::hop}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(SessionManagerTest, LoadsWaitingForABusyHostEachWaitForTheirOwnTimeOut)
{
    held->serve(server);
    auto holder = ImageServer::downloader();
    holder->setDownloadTimeout(0);
    occupy(*holder);
    ASSERT_EVENTUALLY(held->arrived().size() == SessionManager::kConnectionsPerHost, 10000);
    // Asked longest first, so that a shorter wait comes after a longer one is already counted.
    struct Waiter {
        explicit Waiter(double seconds) : timeout(seconds) {}
        double timeout; // 0: none
        std::shared_ptr<ImageDownloader> downloader = ImageServer::downloader();
        Outcomes outcomes;
        qint64 endedMs = -1;
    };
    std::array<Waiter, 3> waiters{Waiter{1.5}, Waiter{0}, Waiter{0.3}};
    Waiter& longer = waiters[0];
    Waiter& patient = waiters[1];
    Waiter& shorter = waiters[2];
    QElapsedTimer clock;
    clock.start();
    for (Waiter& waiter : waiters) {
        waiter.downloader->setDownloadTimeout(waiter.timeout);
        waiter.downloader->downloadImage(server.url(QStringLiteral("/image.png?%1").arg(waiter.timeout)), options(),
                                         [&waiter, &clock](ImageDownloader::ImageResult result) {
                                             waiter.endedMs = clock.elapsed();
                                             waiter.outcomes.results.append(std::move(result));
                                         });
    }
    ASSERT_TRUE(longer.outcomes.waitFor(1));
    ASSERT_TRUE(shorter.outcomes.waitFor(1));
    for (const Waiter* timedOut : {&shorter, &longer}) {
        ASSERT_TRUE(timedOut->outcomes.results[0].isFailure());
        EXPECT_TRUE(QString::fromUtf8(timedOut->outcomes.results[0].error().what()).contains(QStringLiteral("timed out")));
        EXPECT_GE(timedOut->endedMs, qint64(timedOut->timeout * 1000));
    }
    EXPECT_LT(shorter.endedMs, longer.endedMs) << "the shorter wait ended with the longer one";
    // The load without a time-out still waits, and goes with the first place given back.
    EXPECT_TRUE(patient.outcomes.results.isEmpty());
    held->release("place0");
    ASSERT_TRUE(patient.outcomes.waitFor(1));
    EXPECT_TRUE(patient.outcomes.results[0].isSuccess()) << patient.outcomes.results[0].error().what();
    EXPECT_EQ(server.hits("/image.png"), 1);
}

TEST_F(SessionManagerTest, LoadsWithdrawnBeforeTheHostAcceptedLetTheirConnectionAttemptsGo)
{
    loopback::SlowOpeningProxy host(server.url("/").port(), 0, loopback::SlowOpeningProxy::Door::closed);
    // A trust of this test alone, so that no other request keeps its network.
    downloader->setTrustedHosts(QSet<QString>{QStringLiteral("withdrawn.before.accepted")});
    downloader->setDownloadTimeout(30);
    for (int i = 0; i < SessionManager::kConnectionsPerHost; ++i)
        downloader->downloadImage(host.url(QStringLiteral("/image.png?withdrawn%1").arg(i)), options(), outcomes.completion());
    ASSERT_EVENTUALLY(host.connecting() > 0, 10000);
    downloader->cancelAll();
    ASSERT_TRUE(outcomes.waitFor(SessionManager::kConnectionsPerHost));
    ASSERT_EVENTUALLY(host.connecting() == 0, 5000) << host.connecting() << " sockets still connecting";
    // The host now answers: its next loads find their places and open connections of their own.
    host.open();
    downloader->setDownloadTimeout(5);
    QElapsedTimer took;
    took.start();
    for (int i = 0; i < SessionManager::kConnectionsPerHost; ++i)
        downloader->downloadImage(host.url(QStringLiteral("/image.png?next%1").arg(i)), options(), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(2 * SessionManager::kConnectionsPerHost));
    for (qsizetype i = SessionManager::kConnectionsPerHost; i < outcomes.results.size(); ++i)
        EXPECT_TRUE(outcomes.results[i].isSuccess()) << outcomes.results[i].error().what();
    EXPECT_LT(took.elapsed(), 5000);
}

// Loads that fail beside a live host before Qt took them up, on hosts that never accept or for
// a millisecond's time-out on another host, renew no network of the live host: its loads, one of
// them under way the whole time without a time-out, keep their connections, and none of the
// dead hosts' attempts is kept.
struct FailingBeside {
    const char* name;
    double timeout;
    bool deadHosts; // else another live host
};

class SessionManagerBesideTest : public SessionManagerTest, public ::testing::WithParamInterface<FailingBeside> {};

TEST_P(SessionManagerBesideTest, ALiveHostKeepsItsConnections)
{
    constexpr int kRounds = 4;
    // A dead host for each round, so that no round waits for the places of the one before.
    std::array<loopback::NeverAccepting, kRounds> dead;
    held->serve(server);
    // One connection could carry every load of the test.
    server.routes().set_keep_alive_max_count(1000);
    const QSet<QString> trust{QStringLiteral("beside.failing.loads")};
    downloader->setTrustedHosts(trust);
    downloader->setDownloadTimeout(0);
    auto beside = ImageServer::downloader();
    beside->setTrustedHosts(trust);
    beside->setDownloadTimeout(GetParam().timeout);
    Outcomes running;
    downloader->downloadImage(server.url("/held/running"), options(), running.completion());
    ASSERT_EVENTUALLY(held->arrived().size() == 1, 10000);
    constexpr int kLive = SessionManager::kConnectionsPerHost - 1;
    Outcomes loaded;
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < SessionManager::kConnectionsPerHost; ++i)
            beside->downloadImage(GetParam().deadHosts ? dead[round].url(i) : other.url(QStringLiteral("/image.png?%1-%2").arg(round).arg(i)),
                                  options(), outcomes.completion());
        ASSERT_TRUE(outcomes.waitFor((round + 1) * SessionManager::kConnectionsPerHost));
        for (int i = 0; i < kLive; ++i)
            downloader->downloadImage(server.url(QStringLiteral("/image.png?%1-%2").arg(round).arg(i)), options(), loaded.completion());
        ASSERT_TRUE(loaded.waitFor((round + 1) * kLive));
    }
    for (const auto& result : loaded.results)
        EXPECT_TRUE(result.isSuccess()) << result.error().what();
    EXPECT_LE(server.connections(), SessionManager::kConnectionsPerHost);
    const auto connecting = [&] {
        int sum = 0;
        for (const loopback::NeverAccepting& host : dead)
            sum += host.connecting();
        return sum;
    };
    ASSERT_EVENTUALLY(connecting() == 0, 5000) << connecting() << " sockets still connecting";
    held->release("running");
    ASSERT_TRUE(running.waitFor(1));
    EXPECT_TRUE(running.results[0].isSuccess()) << running.results[0].error().what();
}

INSTANTIATE_TEST_SUITE_P(Failures, SessionManagerBesideTest,
                         ::testing::Values(FailingBeside{"HostsThatNeverAccept", 0.2, true},
                                           FailingBeside{"MillisecondTimeOutOnAnotherHost", 0.001, false}),
                         [](const auto& param) { return std::string(param.param.name); });

// A load without a time-out, waiting for a host that does not accept yet, while loads beside it
// time out and renew the host's network: it goes again on the new network, and the old one goes
// with its attempts.
TEST_F(SessionManagerTest, ALoadWaitingOnAReplacedNetworkGoesOnTheNewOne)
{
    loopback::SlowOpeningProxy host(server.url("/").port(), 0, loopback::SlowOpeningProxy::Door::closed);
    const QSet<QString> trust{QStringLiteral("waiting.on.a.replaced.network")};
    downloader->setTrustedHosts(trust);
    downloader->setDownloadTimeout(0);
    auto beside = ImageServer::downloader();
    beside->setTrustedHosts(trust);
    beside->setDownloadTimeout(0.3);
    Outcomes patient;
    downloader->downloadImage(host.url("/image.png?patient"), options(), patient.completion());
    for (int i = 1; i < SessionManager::kConnectionsPerHost; ++i)
        beside->downloadImage(host.url(QStringLiteral("/image.png?beside%1").arg(i)), options(), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(SessionManager::kConnectionsPerHost - 1));
    ASSERT_EVENTUALLY(host.connecting() == 1, 5000) << host.connecting() << " sockets connecting";
    EXPECT_TRUE(patient.results.isEmpty());
    host.open();
    ASSERT_TRUE(patient.waitFor(1));
    EXPECT_TRUE(patient.results[0].isSuccess()) << patient.results[0].error().what();
    EXPECT_EQ(server.hits("/image.png"), 1);
}

} // namespace
