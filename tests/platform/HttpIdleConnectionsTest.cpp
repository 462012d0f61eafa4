#include "platform/HttpIdleConnections.h"
#include "support/ClientSocket.h"
#include "support/TestHttpsServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>

#include <functional>
#include <optional>
#include <string>

namespace {

constexpr qsizetype kLongBody = 5 * 1024 * 1024;

// One transfer driven by the test on its own multi handle, its body counted.
struct Transfer {
    Transfer() : handle(curl_easy_init()) {}
    ~Transfer() { curl_easy_cleanup(handle); }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    static size_t count(char*, size_t size, size_t items, void* self)
    {
        static_cast<Transfer*>(self)->received += qsizetype(size * items);
        return size * items;
    }

    CURL* handle;
    qsizetype received = 0;
    std::optional<CURLcode> result;
};

// The watch over libcurl's kept connections, on libcurl as Http's worker drives it, but one step
// at a time: the test chooses when the client reads and when the sweep comes.
class HttpIdleConnectionsTest : public ::testing::Test {
protected:
    HttpIdleConnectionsTest()
    {
        server_.routes().Get("/long", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(size_t(kLongBody), 'x'), "application/octet-stream");
        });
        server_.start();
    }
    ~HttpIdleConnectionsTest() override
    {
        // Closes the kept connections while the watch that hears of it still exists.
        curl_multi_cleanup(multi_);
    }

    void start(Transfer& transfer, const char* path)
    {
        const QByteArray url = server_.url(QString::fromLatin1(path)).toEncoded();
        const QByteArray authority = QFile::encodeName(TestHttpsServer::certificateFile());
        curl_easy_setopt(transfer.handle, CURLOPT_URL, url.constData());
        curl_easy_setopt(transfer.handle, CURLOPT_CAINFO, authority.constData());
        curl_easy_setopt(transfer.handle, CURLOPT_WRITEFUNCTION, &Transfer::count);
        curl_easy_setopt(transfer.handle, CURLOPT_WRITEDATA, &transfer);
        idle_.watch(transfer.handle);
        curl_multi_add_handle(multi_, transfer.handle);
    }

    // Runs the transfers until `done` holds; false when 30 s were not enough.
    bool runUntil(const std::function<bool()>& done)
    {
        for (QDeadlineTimer deadline(30'000); !deadline.hasExpired();) {
            int running = 0;
            curl_multi_perform(multi_, &running);
            int left = 0;
            while (const CURLMsg* message = curl_multi_info_read(multi_, &left)) {
                if (message->msg != CURLMSG_DONE)
                    continue;
                CURL* handle = message->easy_handle;
                const CURLcode result = message->data.result;
                Transfer* transfer = nullptr;
                curl_easy_getinfo(handle, CURLINFO_PRIVATE, &transfer);
                transfer->result = result;
                idle_.ended(handle);
                curl_multi_remove_handle(multi_, handle);
            }
            if (done())
                return true;
            curl_multi_poll(multi_, nullptr, 0, 50, nullptr);
        }
        return false;
    }

    TestHttpsServer server_;
    HttpIdleConnections idle_;
    CURLM* multi_ = curl_multi_init();
};

} // namespace

// A kept connection that a transfer takes up again carries that transfer's reply: a sweep made
// for the next transfer while the reply is still arriving leaves it to its transfer.
TEST_F(HttpIdleConnectionsTest, AConnectionTakenUpAgainIsLeftToItsTransferWhileItsReplyArrives)
{
    Transfer first;
    curl_easy_setopt(first.handle, CURLOPT_PRIVATE, &first);
    start(first, "/long");
    ASSERT_TRUE(runUntil([&] { return first.result.has_value(); }));
    ASSERT_EQ(*first.result, CURLE_OK);
    long port = 0;
    ASSERT_EQ(curl_easy_getinfo(first.handle, CURLINFO_LOCAL_PORT, &port), CURLE_OK);
    const int kept = clientSocketAt(port);
    ASSERT_GE(kept, 0) << "the connection was kept";

    Transfer second;
    curl_easy_setopt(second.handle, CURLOPT_PRIVATE, &second);
    start(second, "/long");
    ASSERT_TRUE(runUntil([&] { return second.received > 0 || second.result; }));
    ASSERT_FALSE(second.result) << "the reply is longer than one read";
    // The client reads no more for now: the rest of the reply waits on the socket.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        pollfd waiting{kept, POLLIN, 0};
        return ::poll(&waiting, 1, 0) > 0;
    }, 30'000)) << "the second reply came on the kept connection";

    idle_.sweep(); // as when another transfer is about to start

    ASSERT_TRUE(runUntil([&] { return second.result.has_value(); }));
    EXPECT_EQ(*second.result, CURLE_OK);
    EXPECT_EQ(second.received, kLongBody);
    long connects = -1;
    curl_easy_getinfo(second.handle, CURLINFO_NUM_CONNECTS, &connects);
    EXPECT_EQ(connects, 0) << "the second transfer took up the kept connection";
}
