#include "foundation/Config.h"
#include "foundation/Shared.h"
#include "platform/FileError.h"
#include "platform/Http.h"
#include "platform/HttpBodyTap.h"
#include "platform/HttpError.h"
#include "platform/HttpFileTransfer.h"
#include "platform/HttpWorker.h"
#include "support/ClientSocket.h"
#include "support/FileBytes.h"
#include "support/FullFileSystem.h"
#include "support/HeldWorkerPool.h"
#include "support/TaskWait.h"
#include "support/SystemBundle.h"
#include "support/TempFolder.h"
#include "support/TestHttpsServer.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QFile>
#include <QNetworkRequest>
#include <QScopeGuard>
#include <QTest>

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <vector>
#include <poll.h>
#include <unistd.h>

namespace {

// Syncing has tests of its own (HttpDownloadFileTest); these downloads are a cache's copies.
constexpr DownloadDurability kCache = DownloadDurability::Cache;

constexpr qsizetype kFileSize = 512 * 1024 + 3;
constexpr qsizetype kLongFileSize = 5 * 1024 * 1024 + 7;

Config configTrusting(const QString& caFile)
{
    Config config;
    config.caCertificateFile = caFile;
    return config;
}

// The first `size` bytes of a fixed pattern that no shift of it repeats.
QByteArray patterned(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    return bytes;
}

// A request that asks the server to close its connection after the reply, so that the next
// transfer opens a new one.
QNetworkRequest closing(const QUrl& url)
{
    QNetworkRequest request(url);
    request.setRawHeader("Connection", "close");
    return request;
}

// What libcurl's side of Http does with a file, against a loopback TLS server that counts its
// connections: how it trusts, what it writes, what it leaves on a connection for the next one.
class HttpFileTransferTest : public ::testing::Test {
protected:
    explicit HttpFileTransferTest(const QString& certificate = TestHttpsServer::certificateFile(),
        const QString& key = TestHttpsServer::keyFile())
        : server_(certificate, key)
    {
        auto& routes = server_.routes();
        routes.Get("/file", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(file_.constData(), size_t(file_.size()), "application/octet-stream");
        });
        // Announces its body's length, sends the body, and sends more once the test says so.
        routes.Get("/overrun", [this](const httplib::Request& req, httplib::Response& res) {
            overrunPort_ = req.remote_port;
            res.set_content_provider(size_t(file_.size()), "application/octet-stream",
                [this](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset > 0)
                        return true;
                    sink.write(file_.constData(), size_t(file_.size()));
                    sendExtra_.get_future().wait();
                    const std::string extra = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nstray";
                    return sink.write(extra.data(), extra.size());
                });
        });
        // Announces its body's length and sends more with the body's last bytes, in one record.
        routes.Get("/overrun-at-once", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(size_t(file_.size()), "application/octet-stream",
                [this](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset > 0)
                        return true;
                    const QByteArray overrun = file_ + "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nstray";
                    return sink.write(overrun.constData(), size_t(overrun.size()));
                });
        });
        // Long enough for many blocks, in chunks of the TLS record's size.
        routes.Get("/long", [this](const httplib::Request& req, httplib::Response& res) {
            longPort_ = req.remote_port;
            res.set_content(longFile_.constData(), size_t(longFile_.size()), "application/octet-stream");
        });
        // Sends a little, then waits for the server's end.
        routes.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(size_t(1) << 20, "application/octet-stream", [this](size_t, size_t, httplib::DataSink& sink) {
                sink.write("x", 1);
                arrived_ = true;
                server_.waitForShutdown(30'000);
                return false;
            });
        });
        // A connection is known by the client's port.
        routes.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
            const std::lock_guard lock(mutex_);
            ports_.insert(req.remote_port);
            return httplib::Server::HandlerResponse::Unhandled;
        });
        server_.start();
        QDir().mkpath(folder());
    }

    QString folder() const { return temp_.file(QStringLiteral("downloads")); }
    QString destination() const { return temp_.file(QStringLiteral("downloads/video.mp4")); }
    QStringList folderEntries() const { return QDir(folder()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot); }
    QUrl url(const QString& path) const { return server_.url(path); }

    qsizetype takeConnectionCount()
    {
        const std::lock_guard lock(mutex_);
        return qsizetype(std::exchange(ports_, {}).size());
    }

    HttpResponse download(const QNetworkRequest& request, const QString& path)
    {
        return waitForTask(http_.download(request, path, kCache));
    }
    HttpResponse download(const QString& path) { return download(QNetworkRequest(url(path)), destination()); }

    TempFolder temp_;
    Config config_ = configTrusting(TestHttpsServer::certificateFile());
    Shared<Config>::Override configGuard_{config_};
    const QByteArray file_ = patterned(kFileSize);
    const QByteArray longFile_ = patterned(kLongFileSize);
    std::promise<void> sendExtra_;
    std::atomic<int> overrunPort_ = 0;
    std::atomic<int> longPort_ = 0;
    std::atomic<bool> arrived_ = false;
    std::mutex mutex_;
    std::set<int> ports_;
    TestHttpsServer server_;
    Http http_; // destroyed first, closing its connections before the server stops
};

// The authorities are read once: a new connection reads neither the system's bundle nor the CA
// file again (each read costs more than the handshake), so one removed since changes nothing.
TEST_F(HttpFileTransferTest, EveryNewConnectionTrustsWhatWasReadAtTheFirst)
{
    struct Case {
        const char* name;
        bool systemAuthority; // the server's certificate among the system's, or in the CA file
    };
    for (const Case& c : {Case{"system authorities", true}, Case{"configured CA file", false}}) {
        SCOPED_TRACE(c.name);
        const QString copy = temp_.file(QStringLiteral("authority.pem"));
        ASSERT_TRUE(QFile::copy(TestHttpsServer::certificateFile(), copy));
        Config trust = configTrusting(c.systemAuthority ? QString() : copy);
        Shared<Config>::Override guard(trust);
        std::optional<SystemBundle> bundle;
        if (c.systemAuthority)
            bundle.emplace(copy);
        {
            Http http;
            EXPECT_EQ(waitForTask(http.download(closing(url(QStringLiteral("/file"))), destination(), kCache)).status, 200);
            ASSERT_TRUE(QFile::remove(copy));
            for (int i = 0; i < 3; ++i) {
                SCOPED_TRACE(i);
                QFile::remove(destination());
                EXPECT_EQ(waitForTask(http.download(closing(url(QStringLiteral("/file"))), destination(), kCache)).status, 200);
                EXPECT_EQ(readFile(destination()), file_);
            }
        }
        bundle.reset();
        EXPECT_EQ(takeConnectionCount(), 4) << "each download had a connection of its own";
    }
}

// The extra bytes of a reply longer than it announced stay out of the next download, however
// late they come.
TEST_F(HttpFileTransferTest, AReplyLongerThanItsLengthSpoilsNoLaterDownload)
{
    EXPECT_EQ(download(QStringLiteral("/overrun")).status, 200);
    EXPECT_EQ(readFile(destination()), file_);
    sendExtra_.set_value();
    // Bytes that come later still could not be told from the next reply.
    const int connection = clientSocketAt(overrunPort_);
    ASSERT_GE(connection, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        pollfd waiting{connection, POLLIN, 0};
        return ::poll(&waiting, 1, 0) > 0;
    }, 30'000)) << "the extra bytes reached the client";
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        QFile::remove(destination());
        EXPECT_EQ(download(QStringLiteral("/file")).status, 200);
        EXPECT_EQ(readFile(destination()), file_);
    }
}

// Extra bytes that came with the body's end were already read and decrypted with it: nothing
// is left on the socket to tell of them, yet the connection is spoilt all the same.
TEST_F(HttpFileTransferTest, BytesPastTheLengthThatCameWithTheBodySpoilNoLaterDownload)
{
    EXPECT_EQ(download(QStringLiteral("/overrun-at-once")).status, 200);
    EXPECT_EQ(readFile(destination()), file_);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        QFile::remove(destination());
        EXPECT_EQ(download(QStringLiteral("/file")).status, 200);
        EXPECT_EQ(readFile(destination()), file_);
    }
    EXPECT_EQ(takeConnectionCount(), 2) << "a fresh connection after the spoilt one, kept for the rest";
}

TEST_F(HttpFileTransferTest, AWriteThatFailsEndsTheDownloadAndKeepsTheFileAsItWas)
{
    FullFileSystem disk;
    const QString path = disk.path() + QStringLiteral("/video.mp4");
    {
        QFile previous(path);
        ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
        previous.write("previous video");
    }
    disk.fill();
    // Its transfer thread is started here, so it writes into the folder this thread sees; it
    // ends before the folder does.
    Http http;
    try {
        waitForTask(http.download(QNetworkRequest(url(QStringLiteral("/file"))), path, kCache));
        ADD_FAILURE() << "a download that could not be written succeeded";
    } catch (const FileError& error) {
        EXPECT_EQ(error.path(), path);
        EXPECT_TRUE(error.localizedDescription().contains(QStringLiteral("cannot be written")))
            << error.localizedDescription().toStdString();
        // A file-size limit stands in without the superuser's tmpfs: too large, not out of room.
        EXPECT_EQ(error.isOutOfSpace(), disk.isTmpfs());
    }
    disk.free();
    EXPECT_EQ(readFile(path), "previous video");
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{QStringLiteral("video.mp4")});
}

// A certificate the program trusts, made out to another host than the one asked for.
class HttpFileTransferOtherHostTest : public HttpFileTransferTest {
protected:
    static QString certificate() { return TestPaths::dataFile(QStringLiteral("other-host-cert.pem")); }
    HttpFileTransferOtherHostTest()
        : HttpFileTransferTest(certificate(), TestPaths::dataFile(QStringLiteral("other-host-key.pem")))
    {
    }
    Config trust_ = configTrusting(certificate());
    Shared<Config>::Override trustGuard_{trust_};
};

TEST_F(HttpFileTransferOtherHostTest, ACertificateOfAnotherHostIsRefused)
{
    const QString expected = QStringLiteral("The secure connection could not be established: "
                                            "The host name did not match any of the valid hosts for this certificate");
    try {
        download(QStringLiteral("/file"));
        ADD_FAILURE() << "a certificate of another host was accepted";
    } catch (const HttpError& error) {
        EXPECT_EQ(error.kind(), HttpError::Kind::Tls);
        EXPECT_EQ(error.localizedDescription(), expected);
    }
    const QString source = temp_.file(QStringLiteral("upload.bin"));
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(file_);
    }
    try {
        waitForTask(http_.upload(QNetworkRequest(url(QStringLiteral("/file"))), "PUT", source));
        ADD_FAILURE() << "a certificate of another host was accepted";
    } catch (const HttpError& error) {
        EXPECT_EQ(error.localizedDescription(), expected);
    }
    // Qt's connections refuse it too, though its authority is the CA file's.
    try {
        waitForTask(http_.send(QNetworkRequest(url(QStringLiteral("/file")))));
        ADD_FAILURE() << "a certificate of another host was accepted";
    } catch (const HttpError& error) {
        EXPECT_EQ(error.kind(), HttpError::Kind::Tls);
        EXPECT_TRUE(error.localizedDescription().contains(QStringLiteral("The host name did not match"))) << error.localizedDescription().toStdString();
    }
    EXPECT_TRUE(folderEntries().isEmpty());
}

// What a download's tap is handed, kept as a reader would: a copy of every block, and every
// `holdEvery`-th block itself for good (a reader still behind it), with where it began.
class RecordingTap : public HttpBodyTap {
public:
    explicit RecordingTap(int holdEvery) : holdEvery_(holdEvery) {}

    void bodyStarted(int descriptor, qint64 length) override
    {
        ++starts;
        readable = (::fcntl(descriptor, F_GETFL) & O_ACCMODE) == O_RDWR;
        announced = length;
    }
    void bodyWritten(const QByteArray& block) override
    {
        if (holdEvery_ > 0 && ++blocks_ % holdEvery_ == 0)
            held.append({copied.size(), block});
        copied.append(block.constData(), block.size()); // a deep copy
    }
    void transferEnded(bool complete) override { ends.append(complete); }

    int starts = 0;
    bool readable = false;
    qint64 announced = -2;
    QByteArray copied;
    QList<std::pair<qsizetype, QByteArray>> held;
    QList<bool> ends;

private:
    const int holdEvery_;
    int blocks_ = 0;
};

// A tap sees the body exactly as the file holds it, whether it lets go of each block at once or
// keeps some for good: a block is written to again only once the tap let go of it. A reply that
// is no body for the file tells the tap only that the transfer ended.
TEST_F(HttpFileTransferTest, ATapSeesTheBodyAsTheFileHoldsIt)
{
    const struct {
        const char* name;
        const char* path;
        int holdEvery;
        const QByteArray* body; // nullptr: a failure status
    } cases[] = {
        {"released at once", "/long", 0, &longFile_},
        {"every block held", "/long", 1, &longFile_},
        {"every third block held", "/long", 3, &longFile_},
        {"a short body", "/file", 1, &file_},
        {"a failure status", "/missing", 1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(destination());
        auto tap = std::make_shared<RecordingTap>(c.holdEvery);
        const HttpResponse response = waitForTask(http_.download(QNetworkRequest(url(QString::fromLatin1(c.path))),
            destination(), kCache, {}, {}, Http::kDefaultTimeoutMs, -1, tap));
        EXPECT_EQ(tap->ends, QList<bool>{c.body != nullptr});
        if (!c.body) {
            EXPECT_EQ(response.status, 404);
            EXPECT_EQ(tap->starts, 0);
            EXPECT_TRUE(tap->copied.isEmpty());
            continue;
        }
        EXPECT_EQ(tap->starts, 1);
        EXPECT_TRUE(tap->readable);
        EXPECT_EQ(tap->announced, c.body->size());
        EXPECT_EQ(tap->copied, *c.body);
        EXPECT_EQ(readFile(destination()), *c.body);
        for (const auto& [offset, block] : tap->held)
            EXPECT_EQ(block, c.body->mid(offset, block.size())) << "the block at " << offset << " was written over";
    }
}

// Holds Http's worker at the start of a body until the test lets go.
class HoldingTap : public HttpBodyTap {
public:
    ~HoldingTap() override { letGo(); }
    void bodyStarted(int, qint64) override
    {
        started = true;
        released_.wait();
    }
    void bodyWritten(const QByteArray&) override {}
    void transferEnded(bool) override {}
    void letGo() { std::call_once(once_, [this] { release_.set_value(); }); }

    std::atomic<bool> started = false;

private:
    std::promise<void> release_;
    std::shared_future<void> released_ = release_.get_future().share();
    std::once_flag once_;
};

// Downloads that start while a kept connection carries another's reply leave the connection to
// that reply: the look for stray bytes on kept connections, made before they start, took the
// reply's own bytes for strays and cut it.
TEST_F(HttpFileTransferTest, DownloadsStartedWhileAKeptConnectionCarriesAReplyLeaveItToThatReply)
{
    EXPECT_EQ(download(QStringLiteral("/file")).status, 200); // its connection is kept
    auto tap = std::make_shared<HoldingTap>();
    const auto letGo = qScopeGuard([&] { tap->letGo(); });
    const QString longDestination = temp_.file(QStringLiteral("downloads/long.bin"));
    QCoro::Task<HttpResponse> running = http_.download(QNetworkRequest(url(QStringLiteral("/long"))), longDestination,
        kCache, {}, {}, Http::kDefaultTimeoutMs, -1, tap);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tap->started.load(); }, 30'000));
    EXPECT_EQ(takeConnectionCount(), 1) << "the long reply came on the kept connection";
    // The worker is held: the rest of the reply waits on the connection while more downloads queue.
    const int connection = clientSocketAt(longPort_);
    ASSERT_GE(connection, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        pollfd waiting{connection, POLLIN, 0};
        return ::poll(&waiting, 1, 0) > 0;
    }, 30'000));
    std::vector<QCoro::Task<HttpResponse>> others;
    for (int i = 0; i < 3; ++i)
        others.push_back(http_.download(QNetworkRequest(url(QStringLiteral("/file"))),
            temp_.file(QStringLiteral("downloads/other-%1.bin").arg(i)), kCache));
    tap->letGo();

    EXPECT_EQ(waitForTask(std::move(running)).status, 200);
    EXPECT_EQ(readFile(longDestination), longFile_);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(waitForTask(std::move(others[size_t(i)])).status, 200);
        EXPECT_EQ(readFile(temp_.file(QStringLiteral("downloads/other-%1.bin").arg(i))), file_);
    }
}

// A call whose Http goes away while its reply is awaited ends as cancelled there and then, so
// nothing it holds (its request, the TLS trust the request carries) outlives the Http, even
// when no event loop turns again.
void expectCancelled(QCoro::Task<HttpResponse> call)
{
    try {
        waitForTask(std::move(call));
        ADD_FAILURE() << "the call succeeded";
    } catch (const HttpError& error) {
        EXPECT_EQ(error.kind(), HttpError::Kind::Cancelled);
        EXPECT_EQ(error.localizedDescription(), QStringLiteral("The request was cancelled."));
    }
}

TEST_F(HttpFileTransferTest, ACallStillWaitingWhenItsHttpGoesEndsCancelled)
{
    std::optional<QCoro::Task<HttpResponse>> call;
    {
        Http http;
        call.emplace(http.send(QNetworkRequest(url(QStringLiteral("/stall")))));
        ASSERT_TRUE(QTest::qWaitFor([&] { return arrived_.load(); }, 30'000));
    }
    ASSERT_TRUE(call->isReady()) << "the call still waits for a reply that is gone";
    expectCancelled(std::move(*call));
}

// A call still waiting for the trust prepareTrust() reads when its Http goes ends as cancelled
// once the trust is read, without touching the Http.
TEST_F(HttpFileTransferTest, ACallWaitingForItsTrustWhenItsHttpGoesEndsCancelled)
{
    HeldWorkerPool workers;
    std::optional<QCoro::Task<HttpResponse>> call;
    {
        Http http;
        http.prepareTrust();
        call.emplace(http.send(QNetworkRequest(url(QStringLiteral("/file")))));
        ASSERT_FALSE(call->isReady());
    }
    workers.release();
    expectCancelled(std::move(*call));
    EXPECT_EQ(takeConnectionCount(), 0);
}

// The exit's handlers run in the reverse order of their registration: this one, registered
// before the first transfer, runs after the transfer thread's own and before OpenSSL's
// clean-up, which was registered when the test's server first used OpenSSL.
QFuture<HttpResponse>* runningAtExit = nullptr;

void checkEndedBeforeOpenSslCleanUp()
{
    const char* fault = nullptr;
    if (!runningAtExit->isFinished()) {
        fault = "the transfer was still running as OpenSSL cleaned up";
    } else {
        try {
            runningAtExit->waitForFinished();
            fault = "the transfer ended without being cancelled";
        } catch (const HttpError& error) {
            if (error.kind() != HttpError::Kind::Cancelled)
                fault = "the transfer ended with another failure than a cancel";
        }
    }
    if (fault) {
        std::fprintf(stderr, "%s\n", fault);
        std::_Exit(3);
    }
}

// Starts a download from `url` into `path` on a transfer thread of its own, waits until the
// server has begun to answer, and exits the process.
[[noreturn]] void exitWhileDownloading(const QUrl& url, const QString& path, const std::atomic<bool>& answering)
{
    std::atexit(&checkEndedBeforeOpenSslCleanUp);
    auto* worker = new HttpWorker(std::make_shared<HttpTrustStore>()); // held to the end, as the program holds its shared Http
    auto promise = std::make_shared<QPromise<HttpResponse>>();
    runningAtExit = new QFuture<HttpResponse>(promise->future());
    promise->start();
    HttpFileTransfer::Order order{QNetworkRequest(url), "GET", path, TestHttpsServer::certificateFile(), {}, 0, -1, {}};
    worker->start(HttpFileTransfer::download(order, std::make_shared<HttpFileTransfer::Progress>(), promise));
    while (!answering)
        QTest::qWait(10);
    std::exit(0);
}

TEST_F(HttpFileTransferTest, ATransferStillRunningAtExitEndsBeforeOpenSslCleansUp)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exitWhileDownloading(url(QStringLiteral("/stall")), destination(), arrived_), ::testing::ExitedWithCode(0), "");
}

} // namespace
