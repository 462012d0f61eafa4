#include "DownloadOutcomes.h"
#include "ImageServer.h"
#include "support/Eventually.h"

#include "pictor/networking/AnyRedirectHandler.h"
#include "pictor/networking/SessionManagers.h"

#include <QNetworkAccessManager>
#include <QPointer>

#include <gtest/gtest.h>

using namespace pictor;

namespace {

// How a downloader comes to accept the test server's self-signed certificate, if at all.
enum class Trust { nothing, caList, trustedHost };

std::shared_ptr<ImageDownloader> trusting(Trust trust)
{
    auto made = ImageServer::downloader(trust == Trust::caList);
    if (trust == Trust::trustedHost)
        made->setTrustedHosts(QSet<QString>{QStringLiteral("127.0.0.1")});
    return made;
}

struct TrustOrder {
    const char* name;
    Trust first;
    Trust second;
};

class DownloaderTrustTest : public ::testing::TestWithParam<TrustOrder> {
protected:
    ImageServer server;
};

// The second downloader reaches the server while the first one's connection to it is still open.
TEST_P(DownloaderTrustTest, EachDownloaderKeepsItsOwnCertificateDecision)
{
    for (const Trust trust : {GetParam().first, GetParam().second}) {
        Outcomes outcomes;
        auto downloader = trusting(trust);
        downloader->downloadImage(server.url("/image.png"), options(), outcomes.completion());
        ASSERT_TRUE(outcomes.waitFor(1));
        const auto& result = outcomes.results[0];
        if (trust == Trust::nothing) {
            ASSERT_TRUE(result.isFailure()) << "an untrusting downloader was served";
            EXPECT_EQ(result.error().reason(), PictorError::Reason::URLSessionError);
        } else {
            EXPECT_TRUE(result.isSuccess()) << int(trust) << ": " << result.error().what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Orders, DownloaderTrustTest,
                         ::testing::Values(TrustOrder{"RefusedThenCaList", Trust::nothing, Trust::caList},
                                           TrustOrder{"RefusedThenTrustedHost", Trust::nothing, Trust::trustedHost},
                                           TrustOrder{"CaListThenNothing", Trust::caList, Trust::nothing},
                                           TrustOrder{"TrustedHostThenNothing", Trust::trustedHost, Trust::nothing}),
                         [](const auto& param) { return std::string(param.param.name); });

// Accepts every certificate it is asked about.
class AcceptingResponder : public AuthenticationChallengeResponsible {
public:
    AuthChallengeDisposition didReceiveChallenge(ImageDownloader&, const AuthenticationChallenge&) override
    {
        return AuthChallengeDisposition::useCredential;
    }
};

class DownloaderSharingTest : public ::testing::Test {
protected:
    ImageServer server;
    // Before the downloaders, which complete their waiting callers when they go.
    Outcomes outcomes;

    ImageDownloader::ImageResult load(ImageDownloader& downloader, const QString& path)
    {
        const qsizetype before = outcomes.results.size();
        downloader.downloadImage(server.url(path), options(), outcomes.completion());
        EXPECT_TRUE(outcomes.waitFor(before + 1));
        return outcomes.results.value(before, ImageDownloader::ImageResult::failure(PictorError::emptyRequest()));
    }
};

// A change of trust right after a transfer started reaches only later transfers.
TEST_F(DownloaderSharingTest, ATransferIsJudgedByTheTrustItStartedWith)
{
    const QSet<QString> local{QStringLiteral("127.0.0.1")};
    Outcomes added, removed;
    auto adding = trusting(Trust::nothing);
    adding->downloadImage(server.url("/image.png"), options(), added.completion());
    adding->setTrustedHosts(local);
    auto removing = trusting(Trust::trustedHost);
    removing->downloadImage(server.url("/image.png?b"), options(), removed.completion());
    removing->setTrustedHosts(std::nullopt);
    ASSERT_TRUE(added.waitFor(1) && removed.waitFor(1));
    ASSERT_TRUE(added.results[0].isFailure()) << "trusted a host it trusted only later";
    EXPECT_TRUE(removed.results[0].isSuccess()) << removed.results[0].error().what();
    // Nothing the first accepted serves an untrusting downloader.
    EXPECT_TRUE(load(*trusting(Trust::nothing), QStringLiteral("/image.png")).isFailure());
}

TEST_F(DownloaderSharingTest, LaterRedirectionsKeepTheTrustTheTransferStartedWith)
{
    struct Case {
        const char* name;
        Trust trust;
        std::function<void(ImageDownloader&)> change;
    };
    const QList<Case> cases = {
        {"CA list dropped", Trust::caList, [](ImageDownloader& d) { d.setSessionConfiguration(QSslConfiguration::defaultConfiguration()); }},
        {"trusted host dropped", Trust::trustedHost, [](ImageDownloader& d) { d.setTrustedHosts(std::nullopt); }},
    };
    ImageServer other;
    for (const Case& c : cases) {
        auto downloader = trusting(c.trust);
        std::optional<AnyRedirectHandler::Answer> held;
        QNetworkRequest proposed;
        auto handler = std::make_shared<AnyRedirectHandler>([&](auto, const URLResponse&, const QNetworkRequest& next, AnyRedirectHandler::Answer answer) {
            proposed = next;
            held = std::move(answer);
        });
        const qsizetype before = outcomes.results.size();
        downloader->downloadImage(server.url(QStringLiteral("/moved?%1").arg(int(c.trust))), options({PictorOptionsInfoItem::redirectHandler(handler)}),
                                  outcomes.completion());
        ASSERT_EVENTUALLY(held.has_value(), 5000);
        c.change(*downloader);
        // The hop goes to another server, over a new connection.
        proposed.setUrl(other.url("/image.png"));
        (*held)(proposed);
        ASSERT_TRUE(outcomes.waitFor(before + 1)) << c.name;
        EXPECT_TRUE(outcomes.results[before].isSuccess()) << c.name << ": " << outcomes.results[before].error().what();
    }
}

TEST_F(DownloaderSharingTest, AResponderOfItsOwnGetsConnectionsOfItsOwn)
{
    auto accepting = trusting(Trust::nothing);
    auto responder = std::make_shared<AcceptingResponder>();
    accepting->setAuthenticationChallengeResponder(responder);
    ASSERT_TRUE(load(*accepting, QStringLiteral("/image.png")).isSuccess());
    // Right after, while the accepted connection is still open.
    EXPECT_TRUE(load(*trusting(Trust::nothing), QStringLiteral("/image.png")).isFailure()) << "served over another's accepted connection";
}

TEST_F(DownloaderSharingTest, EachDownloaderKeepsItsOwnCookies)
{
    std::mutex mutex;
    QList<std::string> sent;
    server.routes().Get("/sets-cookie.png", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Set-Cookie", "visit=1; Path=/");
        response.set_content(ImageServer::png().toStdString(), "image/png");
    });
    server.routes().Get(R"(/echo-cookie/(\d+).png)", [&](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(mutex);
        sent.append(request.get_header_value("Cookie"));
        response.set_content(ImageServer::png().toStdString(), "image/png");
    });
    auto first = trusting(Trust::caList);
    auto second = trusting(Trust::caList);
    ASSERT_TRUE(load(*first, QStringLiteral("/sets-cookie.png")).isSuccess());
    ASSERT_TRUE(load(*second, QStringLiteral("/echo-cookie/1.png")).isSuccess());
    ASSERT_TRUE(load(*first, QStringLiteral("/echo-cookie/2.png")).isSuccess());
    std::lock_guard lock(mutex);
    EXPECT_EQ(sent, (QList<std::string>{"", "visit=1"}));
}

TEST_F(DownloaderSharingTest, AManagerNoDownloaderUsesIsLetGo)
{
    auto managers = [] { return SessionManagers::home()->findChildren<QNetworkAccessManager*>(QString(), Qt::FindDirectChildrenOnly).size(); };
    const qsizetype before = managers();
    auto changing = trusting(Trust::caList);
    for (int i = 0; i < 10; ++i) {
        changing->setTrustedHosts(QSet<QString>{QStringLiteral("host-%1.example").arg(i)});
        ASSERT_TRUE(load(*changing, QStringLiteral("/image.png?%1").arg(i)).isSuccess());
        auto passing = trusting(Trust::caList);
        passing->setTrustedHosts(QSet<QString>{QStringLiteral("passing-%1.example").arg(i)});
        ASSERT_TRUE(load(*passing, QStringLiteral("/image.png?p%1").arg(i)).isSuccess());
    }
    // The changing downloader's present trust holds one.
    ASSERT_EVENTUALLY(managers() <= before + 1, 5000) << managers() - before;
    changing.reset();
    ASSERT_EVENTUALLY(managers() <= before, 5000) << managers() - before;
}

} // namespace
