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

#include <condition_variable>
#include <set>

using namespace pictor;

namespace {

// Requests to /held/<name> that the test lets through one by one, in the order they arrived.
class HeldRequests {
public:
    void serve(ImageServer& server)
    {
        server.routes().Get(R"(/held/(\w+))", [this](const httplib::Request& request, httplib::Response& response) {
            const std::string name = request.matches[1];
            std::unique_lock lock(mutex_);
            arrived_.push_back(name);
            changed_.wait(lock, [&] { return everything_ || released_.contains(name); });
            response.set_content(ImageServer::png().toStdString(), "image/png");
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
    ~SessionManagerTest() override { held->releaseAll(); }

    // Six requests that hold every place the host has.
    void occupy(ImageDownloader& holder)
    {
        for (int i = 0; i < SessionManager::kConnectionsPerHost; ++i)
            holder.downloadImage(server.url(QStringLiteral("/held/place%1").arg(i)), options(), outcomes.completion());
    }

    // Before the servers, whose handlers it serves until they stop.
    std::unique_ptr<HeldRequests> held = std::make_unique<HeldRequests>();
    ImageServer server;
    ImageServer other;
    // Before the downloaders, which complete their waiting callers when they go.
    Outcomes outcomes;
    std::shared_ptr<ImageDownloader> downloader = ImageServer::downloader();
};

// What is asked of a busy host, in this order: a load of its own, or a redirection from another
// host to it, whose hop reaches the host only once that host has answered.
enum class Asked { load, hop };
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
    // A trust of this test alone, so that its network carries this test's requests only.
    downloader->setTrustedHosts(QSet<QString>{QStringLiteral("served.in.turn")});
    const std::shared_ptr<SessionManager> manager = SessionManagers::managerFor(
        TrustConfiguration{ImageServer::trusting(), downloader->trustedHosts(), 0, {}});
    const auto replies = [&] { return manager->network()->findChildren<QNetworkReply*>().size(); };
    occupy(*downloader);
    ASSERT_EVENTUALLY(held->arrived().size() == SessionManager::kConnectionsPerHost, 10000);

    std::vector<std::string> expected;
    for (const Asked asked : GetParam().asked) {
        const std::string name = "turn" + std::to_string(expected.size());
        expected.push_back(name);
        const QString path = QString::fromStdString(name);
        if (asked == Asked::load) {
            downloader->downloadImage(server.url(QStringLiteral("/held/") + path), options(), outcomes.completion());
            continue;
        }
        downloader->downloadImage(other.url(QStringLiteral("/via/") + path), options(), outcomes.completion());
        // The redirection has been answered and let go once its reply is gone: its hop waits.
        ASSERT_EVENTUALLY(other.hits("/via/" + name) == 1 && replies() == SessionManager::kConnectionsPerHost, 10000);
    }
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
                                           AskedInTurn{"LoadsAroundHops", {Asked::load, Asked::hop, Asked::hop, Asked::load}}),
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

} // namespace
