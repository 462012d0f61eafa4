#include "DownloadOutcomes.h"
#include "ImageServer.h"
#include "LoopbackPorts.h"
#include "support/Eventually.h"

#include "pictor/networking/SessionManager.h"
#include "pictor/networking/SessionManagers.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <gtest/gtest.h>

using namespace pictor;

namespace {

class SessionDelegateTest : public ::testing::Test {
protected:
    ImageServer server;
    // Before the downloader, which completes its waiting callers when it goes.
    Outcomes outcomes;
    std::shared_ptr<ImageDownloader> downloader = ImageServer::downloader();
};

TEST_F(SessionDelegateTest, AWithdrawnLoadGivesItsPlaceBackWithItsReply)
{
    // A trust of this test alone, so that its manager carries this test's requests only.
    const TrustConfiguration trust{ImageServer::trusting(), QSet<QString>{QStringLiteral("withdrawn.loads")}, 0, {}};
    downloader->setTrustedHosts(trust.trustedHosts);
    const std::shared_ptr<SessionManager> manager = SessionManagers::managerFor(trust);
    const auto replies = [&] { return manager->network(server.url("/"))->findChildren<QNetworkReply*>().size(); };
    // Withdrawn as soon as they are handed to Qt, before any is sent.
    for (int i = 0; i < SessionManager::kConnectionsPerHost; ++i)
        downloader->downloadImage(server.url(QStringLiteral("/slow.png?%1").arg(i)), options(), outcomes.completion());
    ASSERT_EQ(replies(), SessionManager::kConnectionsPerHost);
    downloader->cancelAll();
    ASSERT_TRUE(outcomes.waitFor(SessionManager::kConnectionsPerHost));
    ASSERT_EVENTUALLY(replies() == 0, 5000);
    // Every place is free again: as many requests as the host takes go at once.
    int went = 0;
    QList<SessionManager::Ticket> places;
    for (int i = 0; i < SessionManager::kConnectionsPerHost; ++i)
        places.append(manager->whenFree(server.url("/image.png"), [&went] { ++went; }));
    EXPECT_EQ(went, SessionManager::kConnectionsPerHost);
}

// Ninety images each behind a redirection, answered in a thirteenth of the time-out (room for a
// loaded machine's handshakes), the last well past the time-out after they were asked for: a
// transfer under way keeps its turn, and its clock stands while its next hop waits for another host.
struct RedirectedBurst {
    const char* name;
    bool otherHost;
};

class SessionDelegateBurstTest : public SessionDelegateTest, public ::testing::WithParamInterface<RedirectedBurst> {};

TEST_P(SessionDelegateBurstTest, EveryRedirectedImageLoadsWithinTheTimeOut)
{
    ImageServer other;
    ImageServer& target = GetParam().otherHost ? other : server;
    target.routes().Get(R"(/fifth/(\d+).png)", [&target](const httplib::Request&, httplib::Response& response) {
        target.waitForShutdown(300);
        response.set_content(ImageServer::png().toStdString(), "image/png");
    });
    const std::string base = target.url("/fifth/").toString().toStdString();
    server.routes().Get(R"(/to/(\d+))", [base](const httplib::Request& request, httplib::Response& response) {
        response.set_redirect(base + request.matches[1].str() + ".png", 302);
    });
    downloader->setDownloadTimeout(4.0);
    constexpr int kImages = 90;
    for (int i = 0; i < kImages; ++i)
        downloader->downloadImage(server.url(QStringLiteral("/to/%1").arg(i)), options(), outcomes.completion());
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcomes.results.size() == kImages; }, 90000));
    int loaded = 0;
    for (const auto& result : outcomes.results) {
        loaded += result.isSuccess();
        EXPECT_TRUE(result.isSuccess()) << result.error().what();
    }
    EXPECT_EQ(loaded, kImages);
}

INSTANTIATE_TEST_SUITE_P(Targets, SessionDelegateBurstTest,
                         ::testing::Values(RedirectedBurst{"SameHost", false}, RedirectedBurst{"OtherHost", true}),
                         [](const auto& param) { return std::string(param.param.name); });

// A cookie the server set, then a redirection to /echo, which tells the Cookie header it got.
struct CookieHop {
    const char* name;
    const char* signIn;      // sets the cookie
    const char* redirecting; // leads to /echo
    const char* expected;    // what /echo must receive ("": nothing of the cookie)
};

class SessionDelegateCookieTest : public SessionDelegateTest, public ::testing::WithParamInterface<CookieHop> {};

TEST_P(SessionDelegateCookieTest, TheNextHopCarriesTheJarsCookiesOfItsOwnUrl)
{
    const auto image = [](httplib::Response& response) { response.set_content(ImageServer::png().toStdString(), "image/png"); };
    const auto redirect = [](const char* cookie) {
        return [cookie](const httplib::Request&, httplib::Response& response) {
            if (*cookie)
                response.set_header("Set-Cookie", cookie);
            response.set_redirect("/echo", 302);
        };
    };
    auto& routes = server.routes();
    routes.Get("/login", [image](const httplib::Request&, httplib::Response& response) {
        response.set_header("Set-Cookie", "sid=secret; Path=/");
        image(response);
    });
    routes.Get("/private/login", [image](const httplib::Request&, httplib::Response& response) {
        response.set_header("Set-Cookie", "sid=secret; Path=/private");
        image(response);
    });
    routes.Get("/logout", redirect("sid=; Max-Age=0; Path=/"));
    routes.Get("/renew", redirect("sid=fresh; Path=/"));
    routes.Get("/private/away", redirect(""));
    routes.Get("/away", redirect(""));
    std::mutex mutex;
    std::string received;
    routes.Get("/echo", [&](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(mutex);
        received = request.get_header_value("Cookie");
        image(response);
    });
    downloader->downloadImage(server.url(QString::fromLatin1(GetParam().signIn)), options(), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(1));
    downloader->downloadImage(server.url(QString::fromLatin1(GetParam().redirecting)), options(), outcomes.completion());
    ASSERT_TRUE(outcomes.waitFor(2));
    ASSERT_TRUE(outcomes.results[1].isSuccess()) << outcomes.results[1].error().what();
    std::lock_guard lock(mutex);
    if (*GetParam().expected)
        EXPECT_EQ(received, GetParam().expected);
    else // a deletion may leave the cookie empty for the moment it is valid
        EXPECT_EQ(received.find("secret"), std::string::npos) << received;
}

INSTANTIATE_TEST_SUITE_P(Cookies, SessionDelegateCookieTest,
                         ::testing::Values(CookieHop{"DeletedByTheRedirection", "/login", "/logout", ""},
                                           CookieHop{"OfAnotherPath", "/private/login", "/private/away", ""},
                                           CookieHop{"ReplacedByTheRedirection", "/login", "/renew", "sid=fresh"},
                                           CookieHop{"KeptThroughTheRedirection", "/login", "/away", "sid=secret"}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(SessionDelegateTest, NoSocketOutlivesTheFailedLoadsOfAHostThatNeverAccepts)
{
    loopback::NeverAccepting host;
    downloader->setDownloadTimeout(0.5);
    constexpr int kLoads = 8;
    for (int i = 0; i < kLoads; ++i)
        downloader->downloadImage(host.url(i), options(), outcomes.completion());
    ASSERT_EVENTUALLY(host.connecting() > 0, 5000);
    ASSERT_TRUE(outcomes.waitFor(kLoads));
    for (const auto& result : outcomes.results)
        EXPECT_TRUE(result.isFailure() && QString::fromUtf8(result.error().what()).contains(QStringLiteral("timed out"))) << result.error().what();
    ASSERT_EVENTUALLY(host.connecting() == 0, 5000) << host.connecting() << " sockets still connecting";
}

} // namespace
