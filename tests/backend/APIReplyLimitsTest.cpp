#include "backend/APIError.h"
#include "backend/APIService.h"
#include "foundation/Clock.h"
#include "foundation/Config.h"
#include "foundation/Shared.h"
#include "platform/Http.h"
#include "platform/HttpError.h"
#include "support/TaskWait.h"
#include "support/TestHttpsServer.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <optional>

namespace {

// A catalogue that misbehaves on purpose, on a loopback TLS server, and a client with the
// deployment's limits.
class APIReplyLimitsTest : public ::testing::Test {
protected:
    static constexpr size_t kGiB = size_t(1) << 30;

    APIReplyLimitsTest()
    {
        config_.caCertificateFile = TestHttpsServer::certificateFile();
        auto& routes = server_.routes();
        // 200 with no length, streaming until the client leaves (or 1 GiB), uncompressed.
        routes.Get("/functions/v1/endless", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("application/octet-stream", [this](size_t offset, httplib::DataSink& sink) {
                sent_[0] = offset;
                const std::string block(256 << 10, ' ');
                return offset < kGiB && sink.write(block.data(), block.size());
            });
        });
        // Announces 1 GiB, sends its first bytes, then waits. (A type the server never compresses,
        // which would drop the length.)
        routes.Get("/functions/v1/announced", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(kGiB, "application/octet-stream", [this](size_t offset, size_t, httplib::DataSink& sink) {
                sent_[1] = offset;
                if (offset > 0) {
                    server_.waitForShutdown(30'000);
                    return false;
                }
                return sink.write("[", 1);
            });
        });
        routes.Get("/functions/v1/loop", [this](const httplib::Request&, httplib::Response& res) {
            ++requests_;
            res.set_redirect("/functions/v1/loop");
        });
        // The key the last hop of a redirect brought along.
        routes.Get("/functions/v1/key", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(req.get_header_value("Authorization"), "application/octet-stream");
        });
        routes.Get("/functions/v1/stay", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/functions/v1/key"); });
        routes.Get("/functions/v1/leave", [this](const httplib::Request&, httplib::Response& res) {
            QUrl elsewhere = server_.url(QStringLiteral("/functions/v1/key"));
            elsewhere.setHost(QStringLiteral("localhost"));
            res.set_redirect(elsewhere.toString().toStdString());
        });
        routes.Get("/functions/v1/insecure", [this](const httplib::Request&, httplib::Response& res) {
            res.set_redirect(plainAddress().toString().toStdString());
        });
        server_.start();
    }

    QUrl plainAddress() const
    {
        QUrl plain = server_.url(QStringLiteral("/functions/v1/key"));
        plain.setScheme(QStringLiteral("http"));
        return plain;
    }

    APIService::Settings settings() const
    {
        APIService::Settings settings;
        settings.baseURL = server_.url(QStringLiteral("/functions/v1")).toString();
        return settings;
    }

    // The APIError a request to `endpoint` throws.
    std::optional<APIError> failureOf(const QString& endpoint)
    {
        try {
            waitForTask(api_.request(server_.url(QStringLiteral("/functions/v1/") + endpoint), "GET"));
        } catch (const APIError& error) {
            return error;
        }
        ADD_FAILURE() << "the request did not fail";
        return std::nullopt;
    }

    static std::optional<HttpError> causeOf(const APIError& error)
    {
        try {
            std::rethrow_exception(error.underlying());
        } catch (const HttpError& cause) {
            return cause;
        } catch (...) {
        }
        return std::nullopt;
    }

    Config config_;
    Shared<Config>::Override configGuard_{config_};
    // Bytes the endless and the announced reply sent.
    std::atomic<size_t> sent_[2] = {0, 0};
    std::atomic<int> requests_ = 0;
    TestHttpsServer server_;
    ManualClock clock_;
    Http http_;
    APIService api_{settings(), clock_, http_};
};

// The backend's key is for the backend: a redirect elsewhere goes on without it.
TEST_F(APIReplyLimitsTest, TheBearerKeyFollowsARedirectOnlyWithinTheBackendsOrigin)
{
    APIService::Settings keyed = settings();
    keyed.bearerKey = QStringLiteral("backend-key");
    APIService api(keyed, clock_, http_);
    for (const auto& [endpoint, seen] : {std::pair<QString, QByteArray>{QStringLiteral("stay"), "Bearer backend-key"},
             {QStringLiteral("leave"), ""}}) {
        SCOPED_TRACE(endpoint.toStdString());
        EXPECT_EQ(waitForTask(api.request(server_.url(QStringLiteral("/functions/v1/") + endpoint), "GET")), seen);
    }
}

TEST_F(APIReplyLimitsTest, AReplyBeyondSixtyFourMebibytesFailsClearly)
{
    struct Case {
        const char* name;
        const char* endpoint;
        int route;
        size_t mostSent;
    };
    for (const Case& c : {Case{"no length, no end", "endless", 0, kGiB / 4}, Case{"announced too long", "announced", 1, 1 << 20}}) {
        SCOPED_TRACE(c.name);
        const auto error = failureOf(QString::fromLatin1(c.endpoint));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), APIError::Kind::NetworkError);
        EXPECT_EQ(error->localizedDescription(), QStringLiteral("Network error: The reply is longer than the 64 MiB allowed."));
        const auto cause = causeOf(*error);
        ASSERT_TRUE(cause);
        EXPECT_EQ(cause->kind(), HttpError::Kind::TooLarge);
        EXPECT_LT(sent_[c.route], c.mostSent) << "the transfer ended soon after the limit";
    }
}

TEST_F(APIReplyLimitsTest, ARedirectLoopStopsAfterSixteenHops)
{
    const auto error = failureOf(QStringLiteral("loop"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), APIError::Kind::HttpError);
    EXPECT_EQ(error->statusCode(), 302);
    EXPECT_EQ(requests_, 17);
}

} // namespace

namespace {
// A call the catalogue sends on to plain HTTP is not followed, and says so rather than giving the
// redirect's status as if it were an answer.
TEST_F(APIReplyLimitsTest, ARedirectToPlainHttpIsSaidAsWhatItIs)
{
    const std::optional<APIError> error = failureOf(QStringLiteral("insecure"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), APIError::Kind::NetworkError);
    EXPECT_EQ(error->localizedDescription(),
        QStringLiteral("Network error: The server sent the request on to an address without encryption: ") + plainAddress().toString());
}
} // namespace

