#include "foundation/Config.h"
#include "foundation/Shared.h"
#include "platform/FileError.h"
#include "platform/Http.h"
#include "platform/HttpError.h"
#include "platform/HttpRedirect.h"
#include "support/FileBytes.h"
#include "support/TaskWait.h"
#include "support/TempFolder.h"
#include "support/TestHttpsServer.h"
#include "support/SystemBundle.h"
#include "support/TestPaths.h"

#include <QCoro/QCoroTask>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <cstdlib>
#include <future>
#include <thread>

#include <sys/stat.h>

namespace {

// Syncing has tests of its own (HttpDownloadFileTest); these downloads are a cache's copies.
constexpr DownloadDurability kCache = DownloadDurability::Cache;

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char& byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

Config configTrusting(const QString& caFile)
{
    Config config;
    config.caCertificateFile = caFile;
    return config;
}

// Runs a transfer and returns the HttpError it throws (the test fails when it throws none).
template <typename Task>
std::optional<HttpError> failureOf(Task task)
{
    try {
        waitForTask(std::move(task));
    } catch (const HttpError& error) {
        return error;
    }
    ADD_FAILURE() << "the transfer did not fail";
    return std::nullopt;
}

// The three ways a transfer goes: a call with its body in memory, a download into a file, an
// upload from one.
enum class Way { Send, Download, Upload };

const char* nameOf(Way way)
{
    switch (way) {
    case Way::Send: return "send";
    case Way::Download: return "download";
    case Way::Upload: return "upload";
    }
    return "";
}

// An address on the loopback where nothing listens.
QUrl closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QUrl(QStringLiteral("https://127.0.0.1:%1/file").arg(port));
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// A loopback TLS server with every kind of reply the tests need, and a fresh Http that trusts
// the server's certificate through the deployment configuration.
class HttpTest : public ::testing::Test {
protected:
    static constexpr qsizetype kFileSize = 3 * 1024 * 1024 + 17;
    static constexpr size_t kStallAfter = 1 << 20;

    HttpTest() : file_(randomBytes(kFileSize))
    {
        auto& routes = server_.routes();
        routes.Get("/hello", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("hello", "text/plain"); // text, so the server may compress it
        });
        routes.Get(R"(/status/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            res.status = std::stoi(req.matches[1]);
            if (res.status != 204 && res.status != 304)
                res.set_content("status page", "application/octet-stream");
        });
        // A body that claims an encoding it does not have.
        routes.Get(R"(/garbled/(\w+))", [](const httplib::Request& req, httplib::Response& res) {
            res.set_header("Content-Encoding", req.matches[1].str());
            res.set_content("this was never compressed", "application/octet-stream");
        });
        // A status that has no body, sent with one anyway.
        routes.Get("/no-content-with-body", [](const httplib::Request&, httplib::Response& res) {
            res.status = 204;
            res.set_content("a body where none may be", "application/octet-stream");
        });
        routes.Get("/redirect", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/hello"); });
        routes.Get("/file", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(file_.constData(), static_cast<size_t>(file_.size()), "application/octet-stream");
        });
        routes.Get("/silent", [this](const httplib::Request&, httplib::Response& res) {
            requestArrived();
            server_.waitForShutdown(30'000);
            res.set_content("too late", "application/octet-stream");
        });
        // Announces 1000 bytes, sends 100, then drops the connection.
        routes.Get("/cut", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(1000, "application/octet-stream", [](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset > 0)
                    return false;
                sink.write(std::string(100, 'x').data(), 100);
                return true;
            });
        });
        // Sends the first kStallAfter bytes of a large file, then stalls.
        routes.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(8 << 20, "application/octet-stream", [this](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset >= kStallAfter) {
                    requestArrived();
                    server_.waitForShutdown(30'000);
                    return false;
                }
                const std::string block(64 << 10, 'y');
                sink.write(block.data(), block.size());
                return true;
            });
        });
        routes.Put("/upload", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(uploadMutex_);
            uploaded_ = QByteArray::fromStdString(req.body);
            res.status = 201;
            res.set_content("stored", "application/octet-stream");
        });
        // Takes the first kStallAfter bytes of an upload, then reads no more.
        routes.Put("/stalled-upload", [this](const httplib::Request&, httplib::Response& res, const httplib::ContentReader& reader) {
            size_t taken = 0;
            reader([&](const char*, size_t length) {
                taken += length;
                if (taken < kStallAfter)
                    return true;
                requestArrived();
                server_.waitForShutdown(30'000);
                return false;
            });
            res.status = 500;
        });
        routes.Get("/loop", [this](const httplib::Request&, httplib::Response& res) {
            ++loopRequests_;
            res.set_redirect("/loop");
        });
        routes.Get(R"(/moved/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            res.set_redirect("/file", std::stoi(req.matches[1]));
        });
        routes.Put(R"(/moved/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            res.set_redirect("/upload", std::stoi(req.matches[1]));
        });
        // The same file on another origin (another host name for the same server), and over plain HTTP.
        routes.Get("/elsewhere", [this](const httplib::Request&, httplib::Response& res) {
            res.set_redirect(server_.url(QStringLiteral("/file")).toString().replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost")).toStdString());
        });
        routes.Get("/insecure", [this](const httplib::Request&, httplib::Response& res) {
            res.set_redirect(server_.url(QStringLiteral("/file")).toString().replace(QStringLiteral("https:"), QStringLiteral("http:")).toStdString());
        });
        // A reply without a length that goes on until the client leaves (or 1 GiB), of a type
        // the server never compresses.
        routes.Get("/endless", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("application/octet-stream", [this](size_t offset, httplib::DataSink& sink) {
                const std::string block(64 << 10, ' ');
                endlessSent_ = offset;
                return offset < (size_t(1) << 30) && sink.write(block.data(), block.size());
            });
        });
        // Announces 1 GiB, sends a little, then waits.
        routes.Get("/announced", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(size_t(1) << 30, "application/json", [this](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset > 0) {
                    server_.waitForShutdown(30'000);
                    return false;
                }
                return sink.write("{}", 2);
            });
        });
        // Sends the call on to the address in its "next" item; "/headers" tells the credentials it got.
        routes.Get("/via", [](const httplib::Request& req, httplib::Response& res) { res.set_redirect(req.get_param_value("next")); });
        routes.Get("/headers", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(req.get_header_value("Authorization") + "|" + req.get_header_value("Cookie"), "application/octet-stream");
        });
        routes.Get(R"(/sized/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(std::string(std::stoul(req.matches[1]), 'z'), "application/json");
        });
        server_.start();
    }

    // Runs one transfer of `way` to `path` (a download into destination(), an upload of a
    // file of kFileSize bytes) and returns its response; the HttpError or FileError it throws
    // comes through.
    HttpResponse transfer(Way way, QNetworkRequest request, int timeoutMs = Http::kDefaultTimeoutMs, std::stop_token stop = {})
    {
        switch (way) {
        case Way::Send:
            return waitForTask(http_.send(std::move(request), "GET", {}, std::move(stop), timeoutMs));
        case Way::Download:
            QDir().mkpath(temp_.file(QStringLiteral("downloads")));
            return waitForTask(http_.download(std::move(request), destination(), kCache, {}, std::move(stop), timeoutMs));
        case Way::Upload:
            writeFile(uploadSource(), file_);
            return waitForTask(http_.upload(std::move(request), "PUT", uploadSource(), {}, std::move(stop), timeoutMs));
        }
        return {};
    }
    // transfer(), which must throw an HttpError.
    std::optional<HttpError> transferFailure(Way way, QNetworkRequest request, int timeoutMs = Http::kDefaultTimeoutMs,
        std::stop_token stop = {})
    {
        try {
            transfer(way, std::move(request), timeoutMs, std::move(stop));
        } catch (const HttpError& error) {
            return error;
        }
        ADD_FAILURE() << "the transfer did not fail";
        return std::nullopt;
    }
    QString uploadSource() const { return temp_.file(QStringLiteral("upload.bin")); }
    QByteArray uploaded()
    {
        std::lock_guard lock(uploadMutex_);
        return uploaded_;
    }

    QNetworkRequest request(const QString& path) const { return QNetworkRequest(server_.url(path)); }

    HttpResponse get(const QString& path, int timeoutMs = Http::kDefaultTimeoutMs)
    {
        return waitForTask(http_.send(request(path), "GET", {}, {}, timeoutMs));
    }

    QString destination() const { return temp_.file(QStringLiteral("downloads/video.mp4")); }
    QStringList downloadFolder() const
    {
        return QDir(temp_.file(QStringLiteral("downloads"))).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    void requestArrived()
    {
        if (!arrivedOnce_.exchange(true))
            arrived_.set_value();
    }
    // Stops `source` from another thread once the server has the request.
    std::thread stopWhenArrived(std::stop_source& source)
    {
        return std::thread([this, &source] {
            arrived_.get_future().wait();
            source.request_stop();
        });
    }

    TempFolder temp_;
    Config config_ = configTrusting(TestHttpsServer::certificateFile());
    Shared<Config>::Override configGuard_{config_};
    const QByteArray file_;
    std::mutex uploadMutex_;
    QByteArray uploaded_;
    std::atomic<int> loopRequests_ = 0;
    std::atomic<size_t> endlessSent_ = 0;
    std::promise<void> arrived_;
    std::atomic<bool> arrivedOnce_ = false;
    TestHttpsServer server_;
    Http http_; // destroyed first, closing its connections before the server stops
};

TEST_F(HttpTest, ReturnsTheBodyOfASuccessfulReply)
{
    const HttpResponse response = get(QStringLiteral("/hello"));
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "hello");
    EXPECT_EQ(response.header("content-type"), "text/plain");
    EXPECT_EQ(response.url, server_.url(QStringLiteral("/hello")));
}

TEST_F(HttpTest, AnyStatusIsAResponseNotAnError)
{
    struct Case {
        int status;
        QByteArray body;
    };
    for (const Case& c : {Case{200, "status page"}, Case{204, ""}, Case{299, "status page"}, Case{300, "status page"},
             Case{404, "status page"}, Case{500, "status page"}, Case{503, "status page"}}) {
        SCOPED_TRACE(c.status);
        const HttpResponse response = get(QStringLiteral("/status/%1").arg(c.status));
        EXPECT_EQ(response.status, c.status);
        EXPECT_EQ(response.body, c.body);
        EXPECT_EQ(response.isSuccess(), c.status >= 200 && c.status <= 299);
    }
}

TEST_F(HttpTest, ARedirectIsFollowedOrReturnedAsItsStatus)
{
    const HttpResponse followed = get(QStringLiteral("/redirect"));
    EXPECT_EQ(followed.status, 200);
    EXPECT_EQ(followed.url, server_.url(QStringLiteral("/hello")));

    QNetworkRequest manual = request(QStringLiteral("/redirect"));
    manual.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    const HttpResponse kept = waitForTask(http_.send(manual));
    EXPECT_EQ(kept.status, 302);
    EXPECT_TRUE(kept.header("Location").endsWith("/hello"));
}

TEST_F(HttpTest, ASilentServerTimesOut)
{
    const auto error = failureOf(http_.send(request(QStringLiteral("/silent")), "GET", {}, {}, 200));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), HttpError::Kind::TimedOut);
}

TEST_F(HttpTest, AStopRequestFromAnotherThreadCancels)
{
    std::stop_source source;
    std::thread stopper = stopWhenArrived(source);
    const auto error = failureOf(http_.send(request(QStringLiteral("/silent")), "GET", {}, source.get_token()));
    stopper.join();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), HttpError::Kind::Cancelled);

    std::stop_source already;
    already.request_stop();
    const auto early = failureOf(http_.send(request(QStringLiteral("/hello")), "GET", {}, already.get_token()));
    ASSERT_TRUE(early);
    EXPECT_EQ(early->kind(), HttpError::Kind::Cancelled);
}

TEST_F(HttpTest, ABodyCutShortIsAnError)
{
    const auto error = failureOf(http_.send(request(QStringLiteral("/cut"))));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), HttpError::Kind::Transport);
}

TEST_F(HttpTest, ABodyThatCannotBeDecompressedIsAnError)
{
    ASSERT_TRUE(QDir().mkpath(temp_.file(QStringLiteral("downloads"))));
    for (const QString& encoding : {QStringLiteral("gzip"), QStringLiteral("deflate")}) {
        SCOPED_TRACE(encoding.toStdString());
        const QNetworkRequest garbled = request(QStringLiteral("/garbled/") + encoding);
        const auto error = failureOf(http_.send(garbled));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), HttpError::Kind::Transport);
        EXPECT_TRUE(failureOf(http_.download(garbled, destination(), kCache)));
        EXPECT_TRUE(downloadFolder().isEmpty());
    }
}

TEST_F(HttpTest, TrustComesFromTheConfiguredCaFileOnly)
{
    const QString paths[] = {QStringLiteral("/hello"), QStringLiteral("/file"), QStringLiteral("/upload")};
    for (const Way way : {Way::Send, Way::Download, Way::Upload}) {
        SCOPED_TRACE(nameOf(way));
        const QNetworkRequest trusted = request(paths[int(way)]);
        EXPECT_TRUE(transfer(way, trusted).isSuccess());

        // Without the extra CA the same server is untrusted, even though a connection verified
        // under the old trust may still be open.
        Config untrusting = configTrusting(QString());
        Shared<Config>::Override guard(untrusting);
        const auto error = transferFailure(way, trusted);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), HttpError::Kind::Tls);
        EXPECT_FALSE(error->localizedDescription().isEmpty());
    }
}

TEST_F(HttpTest, TrustPreparedAtStartServesOnlyTheConfigurationItWasMadeFor)
{
    struct Case {
        const char* name;
        bool preparedWithCa;
        bool requestedWithCa;
    };
    for (const Case& c : {Case{"same file", true, true}, Case{"file added since", false, true},
                          Case{"file removed since", true, false}}) {
        SCOPED_TRACE(c.name);
        Http http;
        {
            Config atStart = configTrusting(c.preparedWithCa ? TestHttpsServer::certificateFile() : QString());
            Shared<Config>::Override guard(atStart);
            http.prepareTrust();
        }
        Config now = configTrusting(c.requestedWithCa ? TestHttpsServer::certificateFile() : QString());
        Shared<Config>::Override guard(now);
        if (c.requestedWithCa) {
            EXPECT_EQ(waitForTask(http.send(request(QStringLiteral("/hello")))).status, 200);
        } else {
            const auto error = failureOf(http.send(request(QStringLiteral("/hello"))));
            ASSERT_TRUE(error);
            EXPECT_EQ(error->kind(), HttpError::Kind::Tls);
        }
    }
}

TEST_F(HttpTest, DownloadWritesTheWholeFileAndReportsProgress)
{
    ASSERT_TRUE(QDir().mkpath(temp_.file(QStringLiteral("downloads"))));
    QList<std::pair<qint64, qint64>> reports;
    const HttpResponse response = waitForTask(http_.download(request(QStringLiteral("/file")), destination(), kCache,
        [&](qint64 done, qint64 total) { reports.append({done, total}); }));

    EXPECT_EQ(response.status, 200);
    EXPECT_TRUE(response.body.isEmpty());
    EXPECT_EQ(readFile(destination()), file_);
    EXPECT_EQ(downloadFolder(), QStringList{QStringLiteral("video.mp4")});
    ASSERT_FALSE(reports.isEmpty());
    EXPECT_EQ(reports.last(), std::make_pair(qint64(kFileSize), qint64(kFileSize)));
    for (qsizetype i = 1; i < reports.size(); ++i)
        EXPECT_LE(reports[i - 1].first, reports[i].first);
}

TEST_F(HttpTest, ADownloadWithALimitKeepsOnlyTheBytesAskedFor)
{
    ASSERT_TRUE(QDir().mkpath(temp_.file(QStringLiteral("downloads"))));
    for (const qint64 limit : {qint64(0), qint64(1), qint64(256 * 1024 + 1), qint64(1024 * 1024), qint64(kFileSize - 1),
             qint64(kFileSize), qint64(kFileSize + 1)}) {
        SCOPED_TRACE(limit);
        QFile::remove(destination());
        const HttpResponse response = waitForTask(
            http_.download(request(QStringLiteral("/file")), destination(), kCache, {}, {}, Http::kDefaultTimeoutMs, limit));
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(readFile(destination()), file_.left(limit));
        EXPECT_EQ(downloadFolder(), QStringList{QStringLiteral("video.mp4")}) << "no temporary file is left";
    }
}

// The limit is on the file: an error page is no file and comes back whole as the body.
TEST_F(HttpTest, AFailureStatusKeepsItsBodyWhateverTheLimit)
{
    ASSERT_TRUE(QDir().mkpath(temp_.file(QStringLiteral("downloads"))));
    for (const qint64 limit : {qint64(-1), qint64(0), qint64(4)}) {
        SCOPED_TRACE(limit);
        const HttpResponse response = waitForTask(
            http_.download(request(QStringLiteral("/status/404")), destination(), kCache, {}, {}, Http::kDefaultTimeoutMs,
                limit));
        EXPECT_EQ(response.status, 404);
        EXPECT_EQ(response.body, "status page");
        EXPECT_TRUE(downloadFolder().isEmpty());
    }
}

// The body is received and written on a thread of its own: a GUI thread that turns no event
// loop for the whole transfer does not hold it up.
TEST_F(HttpTest, ADownloadIsWrittenWhileTheGuiThreadIsBusy)
{
    ASSERT_TRUE(QDir().mkpath(temp_.file(QStringLiteral("downloads"))));
    auto download = http_.download(request(QStringLiteral("/file")), destination(), kCache);
    QDeadlineTimer deadline(30'000);
    while (!QFile::exists(destination()) && !deadline.hasExpired())
        QThread::msleep(5);
    EXPECT_EQ(readFile(destination()), file_) << "written before the GUI thread looked again";
    EXPECT_EQ(waitForTask(std::move(download)).status, 200);
}

TEST_F(HttpTest, AFailedDownloadLeavesTheDestinationAsItWas)
{
    ASSERT_TRUE(QDir().mkpath(temp_.file(QStringLiteral("downloads"))));
    writeFile(destination(), "previous video");

    const HttpResponse missing = waitForTask(http_.download(request(QStringLiteral("/status/404")), destination(), kCache));
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(missing.body, "status page");

    const auto cut = failureOf(http_.download(request(QStringLiteral("/cut")), destination(), kCache));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->kind(), HttpError::Kind::Transport);

    // Stopped once the server has sent several blocks of the body.
    std::stop_source source;
    std::thread stopper = stopWhenArrived(source);
    const auto stopped =
        failureOf(http_.download(request(QStringLiteral("/stall")), destination(), kCache, {}, source.get_token()));
    stopper.join();
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->kind(), HttpError::Kind::Cancelled);

    EXPECT_EQ(readFile(destination()), "previous video");
    EXPECT_EQ(downloadFolder(), QStringList{QStringLiteral("video.mp4")});
}

TEST_F(HttpTest, AFailedDownloadWritesNoFile)
{
    ASSERT_TRUE(QDir().mkpath(temp_.file(QStringLiteral("downloads"))));
    EXPECT_EQ(waitForTask(http_.download(request(QStringLiteral("/status/500")), destination(), kCache)).status, 500);
    EXPECT_TRUE(failureOf(http_.download(request(QStringLiteral("/cut")), destination(), kCache)));
    EXPECT_TRUE(downloadFolder().isEmpty());
}

TEST_F(HttpTest, ADownloadIntoAMissingFolderIsAFileError)
{
    EXPECT_THROW(waitForTask(http_.download(request(QStringLiteral("/file")), destination(), kCache)), FileError);
}

TEST_F(HttpTest, UploadSendsTheFileAsItIsOnDisk)
{
    const QString path = temp_.file(QStringLiteral("upload.bin"));
    writeFile(path, file_);
    qint64 lastSent = 0;
    qint64 lastTotal = 0;
    const HttpResponse response = waitForTask(http_.upload(request(QStringLiteral("/upload")), "PUT", path,
        [&](qint64 sent, qint64 total) {
            lastSent = sent;
            lastTotal = total;
        }));

    EXPECT_EQ(response.status, 201);
    EXPECT_EQ(response.body, "stored");
    {
        std::lock_guard lock(uploadMutex_);
        EXPECT_EQ(uploaded_, file_);
    }
    EXPECT_EQ(lastSent, kFileSize);
    EXPECT_EQ(lastTotal, kFileSize);

    EXPECT_THROW(waitForTask(http_.upload(request(QStringLiteral("/upload")), "PUT", temp_.file(QStringLiteral("absent")))),
        FileError);
}

// Files go through another client than calls with small bodies; a failure reads the same
// either way, in the words the program always used.
TEST_F(HttpTest, FileTransferFailuresReadAsBefore)
{
    struct Case {
        const char* name;
        Way way;
        QUrl url;
        bool trusted;
        int timeoutMs;
        HttpError::Kind kind;
        QString message;
    };
    const QString closed = QStringLiteral("The connection closed before the whole reply arrived: Connection closed");
    const QString refusedCertificate =
        QStringLiteral("The secure connection could not be established: The certificate is self-signed, and untrusted");
    const Case cases[] = {
        {"body cut short", Way::Download, server_.url(QStringLiteral("/cut")), true, Http::kDefaultTimeoutMs,
            HttpError::Kind::Transport, closed},
        {"silent server", Way::Download, server_.url(QStringLiteral("/silent")), true, 300, HttpError::Kind::TimedOut,
            QStringLiteral("The request timed out.")},
        {"server that stops reading", Way::Upload, server_.url(QStringLiteral("/stalled-upload")), true, 300,
            HttpError::Kind::TimedOut, QStringLiteral("The request timed out.")},
        {"certificate refused", Way::Download, server_.url(QStringLiteral("/file")), false, Http::kDefaultTimeoutMs,
            HttpError::Kind::Tls, refusedCertificate},
        {"certificate refused", Way::Upload, server_.url(QStringLiteral("/upload")), false, Http::kDefaultTimeoutMs,
            HttpError::Kind::Tls, refusedCertificate},
        {"connection refused", Way::Download, closedPort(), true, Http::kDefaultTimeoutMs, HttpError::Kind::Transport,
            QStringLiteral("Connection refused")},
        {"connection refused", Way::Upload, closedPort(), true, Http::kDefaultTimeoutMs, HttpError::Kind::Transport,
            QStringLiteral("Connection refused")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " (" + nameOf(c.way) + ")");
        Config untrusting = configTrusting(QString());
        std::optional<Shared<Config>::Override> guard;
        if (!c.trusted)
            guard.emplace(untrusting);
        const auto error = transferFailure(c.way, QNetworkRequest(c.url), c.timeoutMs);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), c.kind);
        EXPECT_EQ(error->localizedDescription(), c.message);
        EXPECT_TRUE(downloadFolder().isEmpty());
    }
    EXPECT_TRUE(uploaded().isEmpty()) << "nothing reached a server whose certificate was refused";
}

TEST_F(HttpTest, AnUploadStoppedMidWayIsCancelledAfterReportingProgress)
{
    const QByteArray content = randomBytes(32 << 20); // more than the sockets hold on their way
    const QString path = temp_.file(QStringLiteral("large.bin"));
    writeFile(path, content);
    // Stopped on the first report of progress, while the server has stopped reading.
    std::stop_source source;
    QList<std::pair<qint64, qint64>> reports;
    const auto error = failureOf(http_.upload(request(QStringLiteral("/stalled-upload")), "PUT", path,
        [&](qint64 sent, qint64 total) {
            reports.append({sent, total});
            if (sent >= qint64(kStallAfter))
                source.request_stop();
        },
        source.get_token()));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), HttpError::Kind::Cancelled);
    EXPECT_EQ(error->localizedDescription(), QStringLiteral("The request was cancelled."));
    ASSERT_FALSE(reports.isEmpty());
    EXPECT_GE(reports.last().first, qint64(kStallAfter));
    EXPECT_LT(reports.last().first, content.size());
    EXPECT_EQ(reports.last().second, content.size());
}

TEST_F(HttpTest, ADownloadHasNoNameInItsFolderUntilItIsWhole)
{
    ASSERT_TRUE(QDir().mkpath(temp_.file(QStringLiteral("downloads"))));
    std::stop_source source;
    auto download = http_.download(request(QStringLiteral("/stall")), destination(), kCache, {}, source.get_token());
    ASSERT_TRUE(QTest::qWaitFor([&] { return arrivedOnce_.load(); }, 30'000));
    EXPECT_TRUE(downloadFolder().isEmpty()) << "several blocks were written, to a file without a name";
    source.request_stop();
    EXPECT_TRUE(failureOf(std::move(download)));
    EXPECT_TRUE(downloadFolder().isEmpty());
}

TEST_F(HttpTest, ADownloadedFileHasTheUsualModeLessTheUmask)
{
    ASSERT_TRUE(QDir().mkpath(temp_.file(QStringLiteral("downloads"))));
    const mode_t original = currentUmask();
    for (const auto& [mask, mode] : {std::pair<mode_t, mode_t>{022, 0644}, {002, 0664}, {000, 0666}, {027, 0640}, {077, 0600}}) {
        SCOPED_TRACE(mask);
        ::umask(mask);
        QFile::remove(destination());
        const HttpResponse response = waitForTask(http_.download(request(QStringLiteral("/file")), destination(), kCache));
        ::umask(original);
        EXPECT_EQ(response.status, 200);
        struct stat facts {};
        ASSERT_EQ(::stat(QFile::encodeName(destination()).constData(), &facts), 0);
        EXPECT_EQ(facts.st_mode & 0777, mode);
    }
}

// File transfers run side by side on one thread: one whose server has gone quiet holds up no other.
TEST_F(HttpTest, AStalledFileTransferHoldsUpNoOther)
{
    ASSERT_TRUE(QDir().mkpath(temp_.file(QStringLiteral("downloads"))));
    std::stop_source source;
    auto stalled = http_.download(request(QStringLiteral("/stall")), temp_.file(QStringLiteral("downloads/stalled.mp4")),
        kCache, {}, source.get_token());
    ASSERT_TRUE(QTest::qWaitFor([&] { return arrivedOnce_.load(); }, 30'000));
    EXPECT_EQ(waitForTask(http_.download(request(QStringLiteral("/file")), destination(), kCache)).status, 200);
    EXPECT_EQ(readFile(destination()), file_);
    source.request_stop();
    EXPECT_TRUE(failureOf(std::move(stalled)));
}

TEST_F(HttpTest, AFileTransferStillRunningAtTheEndIsCancelled)
{
    ASSERT_TRUE(QDir().mkpath(temp_.file(QStringLiteral("downloads"))));
    std::optional<QCoro::Task<HttpResponse>> running;
    {
        Http http;
        running.emplace(http.download(request(QStringLiteral("/stall")), destination(), kCache));
        ASSERT_TRUE(QTest::qWaitFor([&] { return arrivedOnce_.load(); }, 30'000));
    }
    const auto error = failureOf(std::move(*running));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), HttpError::Kind::Cancelled);
    EXPECT_TRUE(downloadFolder().isEmpty());
}

// The quit cancels the transfers at once, without waiting for their thread: the one under way
// and one asked for afterwards fail as cancelled, leaving no file, while Qt's calls still work.
TEST_F(HttpTest, CancellingTheTransfersEndsThoseRunningAndThoseAskedForLater)
{
    ASSERT_TRUE(QDir().mkpath(temp_.file(QStringLiteral("downloads"))));
    Http http;
    auto running = http.download(request(QStringLiteral("/stall")), destination(), kCache);
    ASSERT_TRUE(QTest::qWaitFor([&] { return arrivedOnce_.load(); }, 30'000));

    http.cancelTransfers();
    auto later = http.download(request(QStringLiteral("/file")), temp_.file(QStringLiteral("downloads/later.mp4")), kCache);
    for (auto* task : {&running, &later}) {
        const auto error = failureOf(std::move(*task));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), HttpError::Kind::Cancelled);
    }
    EXPECT_TRUE(downloadFolder().isEmpty());
    EXPECT_EQ(waitForTask(http.send(request(QStringLiteral("/hello")))).status, 200);
}

TEST_F(HttpTest, RedirectsAreFollowedAsTheRequestAllowsAndNoMoreThanSixteenTimes)
{
    struct Case {
        const char* name;
        Way way;
        QString path;
        std::optional<QNetworkRequest::RedirectPolicy> policy;
        int status;
    };
    const Case cases[] = {
        {"followed", Way::Download, QStringLiteral("/moved/302"), std::nullopt, 200},
        {"kept as it was", Way::Download, QStringLiteral("/moved/302"), QNetworkRequest::ManualRedirectPolicy, 302},
        {"to another origin", Way::Download, QStringLiteral("/elsewhere"), QNetworkRequest::SameOriginRedirectPolicy, 302},
        {"from HTTPS to HTTP", Way::Download, QStringLiteral("/insecure"), std::nullopt, 302},
        {"with its body", Way::Upload, QStringLiteral("/moved/307"), std::nullopt, 201},
        {"a loop", Way::Download, QStringLiteral("/loop"), std::nullopt, 302},
        {"a loop", Way::Send, QStringLiteral("/loop"), std::nullopt, 302},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " (" + nameOf(c.way) + ")");
        QFile::remove(destination());
        loopRequests_ = 0;
        QNetworkRequest redirected = request(c.path);
        if (c.policy)
            redirected.setAttribute(QNetworkRequest::RedirectPolicyAttribute, *c.policy);
        EXPECT_EQ(transfer(c.way, redirected).status, c.status);
        if (c.way == Way::Download) {
            EXPECT_EQ(QFile::exists(destination()), c.status == 200);
        }
        if (c.way == Way::Upload) {
            EXPECT_EQ(uploaded(), file_);
        }
        if (c.path == u"/loop") {
            EXPECT_EQ(loopRequests_, 1 + Http::kMaxRedirects);
        }
    }
}

TEST_F(HttpTest, AReplyLongerThanTheCallAllowsIsCutOff)
{
    constexpr qint64 kLimit = 1 << 20;
    struct Case {
        const char* name;
        QString path;
        bool fits;
    };
    for (const Case& c : {Case{"endless", QStringLiteral("/endless"), false},
             Case{"announced longer", QStringLiteral("/announced"), false},
             Case{"just fits", QStringLiteral("/sized/%1").arg(kLimit), true},
             Case{"one byte more", QStringLiteral("/sized/%1").arg(kLimit + 1), false}}) {
        SCOPED_TRACE(c.name);
        auto call = http_.send(request(c.path), "GET", {}, {}, Http::kDefaultTimeoutMs, kLimit);
        if (c.fits) {
            EXPECT_EQ(waitForTask(std::move(call)).body.size(), kLimit);
            continue;
        }
        const auto error = failureOf(std::move(call));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), HttpError::Kind::TooLarge);
        EXPECT_EQ(error->localizedDescription(), QStringLiteral("The reply is longer than the 1 MiB allowed."));
    }
    EXPECT_LT(endlessSent_, size_t(64) << 20) << "the endless reply was dropped soon after the limit";
}

// A GUI thread that is slow to take the body (a busy machine) holds the network thread back: an
// endless reply stops near the limit however late the limit is checked, never piling up beside it.
TEST_F(HttpTest, AnEndlessReplyStopsNearTheLimitWhileTheGuiThreadIsBusy)
{
    auto call = http_.send(request(QStringLiteral("/endless")), "GET", {}, {}, Http::kDefaultTimeoutMs, 1 << 20);
    ASSERT_TRUE(QTest::qWaitFor([&] { return endlessSent_ > 0; }, 10'000));
    QThread::msleep(1500); // the GUI thread takes nothing meanwhile
    EXPECT_LT(endlessSent_, size_t(64) << 20) << "what came while the GUI thread was busy";
    const auto error = failureOf(std::move(call));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), HttpError::Kind::TooLarge);
}

// Pictures, feeds and files fetched without a bound of their own get the default one.
TEST_F(HttpTest, AReplyWithoutEndStopsAtTheDefaultBoundUnlessTheCallAllowsMore)
{
    const auto error = failureOf(http_.send(request(QStringLiteral("/endless"))));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), HttpError::Kind::TooLarge);
    EXPECT_EQ(error->localizedDescription(), QStringLiteral("The reply is longer than the 32 MiB allowed."));
    EXPECT_LT(endlessSent_, size_t(96) << 20) << "the endless reply was dropped soon after the bound";

    QNetworkRequest large = request(QStringLiteral("/sized/%1").arg(Http::kDefaultMaxBodyBytes + 1));
    large.setRawHeader("Accept-Encoding", "identity"); // as sent, not unpacked from a few bytes
    EXPECT_EQ(failureOf(http_.send(large))->kind(), HttpError::Kind::TooLarge);
    const HttpResponse allowed = waitForTask(http_.send(large, "GET", {}, {}, Http::kDefaultTimeoutMs, Http::kDefaultMaxBodyBytes + 1));
    EXPECT_EQ(allowed.body.size(), Http::kDefaultMaxBodyBytes + 1);
}

// A redirect carries the call's credentials along while it stays with the origin they were
// meant for; once a hop leaves it they are gone, even when a later hop comes back.
TEST_F(HttpTest, CredentialsFollowRedirectsOnlyWithinTheirOrigin)
{
    const QUrl here = server_.url(QStringLiteral("/headers"));
    QUrl elsewhere = here;
    elsewhere.setHost(QStringLiteral("localhost"));
    const auto via = [](const QUrl& server, const QUrl& next) {
        QUrl hop = server.resolved(QUrl(QStringLiteral("/via")));
        hop.setQuery(QStringLiteral("next=") + QString::fromLatin1(QUrl::toPercentEncoding(next.toString(QUrl::FullyEncoded))),
            QUrl::StrictMode);
        return hop;
    };
    struct Case {
        const char* name;
        QUrl start;
        QByteArray seen;
    };
    const QByteArray credentials = "Bearer secret|session=1";
    for (const Case& c : {Case{"no redirect", here, credentials}, Case{"same origin, two hops", via(here, via(here, here)), credentials},
             Case{"to another host", via(here, elsewhere), "|"}, Case{"away and back", via(here, via(elsewhere, here)), "|"}}) {
        SCOPED_TRACE(c.name);
        QNetworkRequest call(c.start);
        call.setRawHeader("Authorization", "Bearer secret");
        call.setRawHeader("Cookie", "session=1");
        const HttpResponse response = waitForTask(http_.send(call));
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.body, c.seen);
    }
}

TEST(HttpRedirectTest, AnOriginIsSchemeHostAndPort)
{
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    for (const Case& c : {Case{"https://example.org/a", "https://example.org:443/b?c", true},
             Case{"http://example.org/", "http://EXAMPLE.org:80/", true}, Case{"https://example.org/", "http://example.org/", false},
             Case{"https://example.org/", "https://example.org:8443/", false}, Case{"https://example.org/", "https://api.example.org/", false}}) {
        SCOPED_TRACE(std::string(c.a) + " " + c.b);
        EXPECT_EQ(HttpRedirect::sameOrigin(QUrl(QString::fromLatin1(c.a)), QUrl(QString::fromLatin1(c.b))), c.same);
    }
}

// Counts the threads Qt's network managers run their connections on.
int networkThreads()
{
    int count = 0;
    for (const QString& task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(QStringLiteral("/proc/self/task/") + task + QStringLiteral("/comm"));
        if (name.open(QIODevice::ReadOnly) && name.readAll().startsWith("QNetworkAccess"))
            ++count;
    }
    return count;
}

// At exit the calls still in flight end, and Qt's network thread with them, before the process
// tears down what that thread uses.
TEST_F(HttpTest, ShuttingDownEndsTheCallsInFlightAndTheNetworkThread)
{
    const int before = networkThreads();
    Http http;
    auto running = http.send(request(QStringLiteral("/silent")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return arrivedOnce_.load(); }, 30'000));
    EXPECT_EQ(networkThreads(), before + 1);

    http.shutDown();
    EXPECT_TRUE(running.isReady()) << "the call ended with the shut-down";
    const auto error = failureOf(std::move(running));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), HttpError::Kind::Cancelled);
    EXPECT_TRUE(QTest::qWaitFor([&] { return networkThreads() == before; }, 30'000));

    const auto later = failureOf(http.send(request(QStringLiteral("/hello"))));
    ASSERT_TRUE(later);
    EXPECT_EQ(later->kind(), HttpError::Kind::Cancelled);
}

// The system's authorities (OpenSSL's default locations, here pointed at the test's own) are
// trusted by file transfers as by Qt, with no CA file configured.
TEST_F(HttpTest, FileTransfersTrustTheSystemsAuthorities)
{
    Config systemOnly = configTrusting(QString());
    Shared<Config>::Override guard(systemOnly);
    HttpResponse downloaded;
    HttpResponse sent;
    {
        SystemBundle bundle(TestHttpsServer::certificateFile());
        downloaded = transfer(Way::Download, request(QStringLiteral("/file")));
        sent = transfer(Way::Upload, request(QStringLiteral("/upload")));
    }
    EXPECT_EQ(downloaded.status, 200);
    EXPECT_EQ(sent.status, 201);
}

// A CA file adds its authorities to the system's, which every way of asking still trusts.
TEST_F(HttpTest, ACaFileAddsToTheSystemsAuthorities)
{
    const QString server = TestHttpsServer::certificateFile();
    const QString other = TestPaths::dataFile(QStringLiteral("other-host-cert.pem"));
    const struct {
        const char* name;
        QString bundle;
        QString caFile;
    } cases[] = {
        {"the server's authority in the system's bundle", server, other},
        {"the server's authority in the CA file", other, server},
    };
    const QString paths[] = {QStringLiteral("/hello"), QStringLiteral("/file"), QStringLiteral("/upload")};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SystemBundle bundle(c.bundle);
        Config config = configTrusting(c.caFile);
        Shared<Config>::Override guard(config);
        for (const Way way : {Way::Send, Way::Download, Way::Upload}) {
            SCOPED_TRACE(nameOf(way));
            EXPECT_TRUE(transfer(way, request(paths[int(way)])).isSuccess());
        }
    }
}

// Its stray bytes stay out of the next transfer that would reuse the connection.
TEST_F(HttpTest, ABodyWhereNoneMayBeSpoilsNoLaterDownload)
{
    ASSERT_TRUE(QDir().mkpath(temp_.file(QStringLiteral("downloads"))));
    EXPECT_EQ(waitForTask(http_.download(request(QStringLiteral("/no-content-with-body")), destination(), kCache)).status, 204);
    EXPECT_EQ(waitForTask(http_.download(request(QStringLiteral("/file")), destination(), kCache)).status, 200);
    EXPECT_EQ(readFile(destination()), file_);
}

} // namespace
