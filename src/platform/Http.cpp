#include "platform/Http.h"

#include "foundation/Config.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "platform/HttpRedirect.h"
#include "platform/HttpTransfer.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>
#include <QFile>
#include <QSslCertificate>
#include <QCoro/QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <openssl/x509.h>

#include <algorithm>

namespace {
// How often a file transfer's progress reaches its caller.
constexpr int kProgressIntervalMs = 100;

[[noreturn]] void throwCancelled()
{
    throw HttpError(HttpError::Kind::Cancelled, QNetworkReply::OperationCanceledError, QStringLiteral("The request was cancelled."));
}

// Counts a call that holds a reply, for as long as it does.
class Holding {
public:
    explicit Holding(int& count) : count_(++count) {}
    ~Holding() { --count_; }
    Holding(const Holding&) = delete;
    Holding& operator=(const Holding&) = delete;

private:
    int& count_;
};

void throwIfStopped(const std::stop_token& stop)
{
    if (stop.stop_requested())
        throwCancelled();
}

// Progress goes to the caller's closure from inside a Qt signal, where nothing may throw.
void report(const HttpProgress& progress, qint64 done, qint64 total)
{
    if (!progress)
        return;
    try {
        progress(done, total);
    } catch (const std::exception& error) {
        logLine(QStringLiteral("❌"), QStringLiteral("Http"), QStringLiteral("Progress handler failed: ") + describeError(error));
    }
}
} // namespace

Http::Http() : manager_(std::make_unique<QNetworkAccessManager>()) {}

Http::~Http() { shutDown(); }

Http& Http::shared() { return Shared<Http>::instance(); }

void Http::prepareTrust()
{
    if (!preparedTrust_.isValid() && !trust_)
        preparedTrust_ = QtConcurrent::run(&Http::buildTrust, Config::current().caCertificateFile);
}

QCoro::Task<HttpResponse> Http::send(QNetworkRequest request, QByteArray verb, QByteArray body,
    std::stop_token stop, int timeoutMs, qint64 maxBodyBytes)
{
    throwIfStopped(stop);
    const std::weak_ptr<bool> alive = lifetime_;
    co_await trustReady();
    if (alive.expired())
        throwCancelled(); // gone while its trust was read
    // Redirects are followed here rather than by Qt, whose count lets a loop make more
    // requests than the limit says.
    const QNetworkRequest original = withRedirectLimit(std::move(request));
    QNetworkRequest hop = prepared(original);
    hop.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    for (int redirects = 0;; ++redirects) {
        if (!manager_)
            throwCancelled(); // shut down meanwhile
        const Holding holding(holdingReplies_);
        HttpTransfer transfer(start(*manager_, hop, verb, body), verb, stop, timeoutMs);
        transfer.limitBody(maxBodyBytes);
        co_await transfer.finished();
        HttpResponse response = transfer.resultWithBody();
        const auto next = HttpRedirect::target(original, response.url, response.status, response.header("Location"));
        if (!next || redirects >= original.maximumRedirectsAllowed())
            co_return response;
        hop = HttpRedirect::nextHop(std::move(hop), response.url, *next);
        if (const QByteArray method = HttpRedirect::method(response.status, verb); method != verb) {
            verb = method;
            body.clear();
        }
    }
}

void Http::shutDown()
{
    if (!manager_)
        return;
    // Taken first: a caller that an abort below resumes finds no manager to start another call on.
    const std::unique_ptr<QNetworkAccessManager> manager = std::move(manager_);
    QList<QPointer<QNetworkReply>> replies;
    for (QNetworkReply* reply : manager->findChildren<QNetworkReply*>(Qt::FindDirectChildrenOnly))
        replies.append(reply);
    for (const QPointer<QNetworkReply>& reply : replies) {
        if (reply && !reply->isFinished())
            reply->abort();
    }
    // Each call resumes from its abort on a later turn of the event loop, and lets go of its
    // reply then; the manager takes the replies, and its thread, with it after that.
    while (holdingReplies_ > 0)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void Http::cancelTransfers() { worker_.cancelAll(); }

QCoro::Task<HttpResponse> Http::download(QNetworkRequest request, QString destinationPath, DownloadDurability durability,
    HttpProgress progress, std::stop_token stop, int timeoutMs, qint64 byteLimit, std::shared_ptr<HttpBodyTap> tap)
{
    throwIfStopped(stop);
    HttpFileTransfer::Order order{withRedirectLimit(std::move(request)), "GET", destinationPath,
        Config::current().caCertificateFile, stop, timeoutMs, byteLimit, std::move(tap), durability};
    co_return co_await onWorker(&HttpFileTransfer::download, std::move(order), std::move(progress));
}

QCoro::Task<HttpResponse> Http::upload(QNetworkRequest request, QByteArray verb, QString filePath,
    HttpProgress progress, std::stop_token stop, int timeoutMs)
{
    throwIfStopped(stop);
    if (request.header(QNetworkRequest::ContentTypeHeader).isNull())
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/octet-stream"));
    HttpFileTransfer::Order order{withRedirectLimit(std::move(request)), verb, filePath, Config::current().caCertificateFile,
        stop, timeoutMs, -1, {}};
    co_return co_await onWorker(&HttpFileTransfer::upload, std::move(order), std::move(progress));
}

QCoro::Task<HttpResponse> Http::onWorker(MakeTransfer make, HttpFileTransfer::Order order, HttpProgress progress)
{
    auto counts = std::make_shared<HttpFileTransfer::Progress>();
    auto promise = std::make_shared<QPromise<HttpResponse>>();
    QFuture<HttpResponse> outcome = promise->future();
    promise->start();
    worker_.start(make(std::move(order), counts, promise));

    // The counts reach the caller's closure on this thread a few times a second, and once more
    // at the end, rather than with every piece of the body.
    int shown = 0;
    const auto relay = [&] {
        const int updates = counts->updates;
        if (updates == shown)
            return;
        shown = updates;
        const qint64 total = counts->total;
        report(progress, counts->done, total);
    };
    QTimer ticker;
    if (progress) {
        QObject::connect(&ticker, &QTimer::timeout, relay);
        ticker.start(kProgressIntervalMs);
    }
    HttpResponse response = co_await outcome;
    ticker.stop();
    relay();
    co_return response;
}

QCoro::Task<> Http::trustReady()
{
    // The GUI thread goes on while prepareTrust() is still reading.
    if (preparedTrust_.isValid() && !preparedTrust_.isFinished()) {
        QFuture<Trust> pending = preparedTrust_;
        co_await pending;
    }
}

QNetworkRequest Http::prepared(QNetworkRequest request)
{
    request.setSslConfiguration(trust().tls);
    // Qt 6.4 stalls the requests queued behind one aborted while HTTP/2 is still being
    // negotiated with a new host; every transfer here is one request per file, so HTTP/1.1
    // loses nothing.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    return withRedirectLimit(std::move(request));
}

QNetworkRequest Http::withRedirectLimit(QNetworkRequest request)
{
    // Qt's own limit (50) lets a redirect loop cost a few dozen requests per attempt.
    request.setMaximumRedirectsAllowed(std::min(request.maximumRedirectsAllowed(), kMaxRedirects));
    return request;
}

const Http::Trust& Http::trust()
{
    // Read per request, so a changed configuration (a test's override) takes effect at once.
    const QString caFile = Config::current().caCertificateFile;
    if (trust_ && trust_->caFile == caFile)
        return *trust_;

    // Requests wait for prepareTrust() in trustReady(), so its result is there.
    std::optional<Trust> built;
    if (preparedTrust_.isValid()) {
        built = preparedTrust_.result();
        preparedTrust_ = {};
    }
    if (!built || built->caFile != caFile)
        built = buildTrust(caFile);
    trust_ = std::move(built);
    // Connections already open were verified against the previous trust. (libcurl keeps its
    // connections apart by the CA file they were made under.)
    if (manager_)
        manager_->clearConnectionCache();
    return *trust_;
}

namespace {
// The system's authorities, each once: OpenSSL's bundle file, as file transfers read it
// (HttpTrustStore). Qt's own list reads every file of the certificate folders, where most
// systems keep each authority twice (in the bundle and in a file of its own), at two to three
// times the CPU; it stands in only where the bundle gives nothing.
QList<QSslCertificate> systemAuthorities()
{
    QString bundle = qEnvironmentVariable(X509_get_default_cert_file_env());
    if (bundle.isEmpty())
        bundle = QFile::decodeName(X509_get_default_cert_file());
    const QList<QSslCertificate> listed = QSslCertificate::fromPath(bundle);
    return listed.isEmpty() ? QSslConfiguration::systemCaCertificates() : listed;
}
} // namespace

Http::Trust Http::buildTrust(const QString& caFile)
{
    Trust trust{caFile, QSslConfiguration::defaultConfiguration()};
    if (caFile.isEmpty())
        return trust;
    const QList<QSslCertificate> extra = QSslCertificate::fromPath(caFile);
    if (extra.isEmpty())
        logLine(QStringLiteral("⚠️"), QStringLiteral("Http"), QStringLiteral("No certificate could be read from the CA file ") + caFile);
    // A list of authorities replaces the system's, which Qt otherwise looks up as a handshake
    // needs them, so the system's come first.
    trust.tls.setCaCertificates(systemAuthorities() + extra);
    return trust;
}

QNetworkReply* Http::start(QNetworkAccessManager& manager, const QNetworkRequest& request, const QByteArray& verb,
    const QByteArray& body)
{
    if (verb == "GET" && body.isEmpty())
        return manager.get(request);
    if (verb == "HEAD")
        return manager.head(request);
    if (verb == "POST")
        return manager.post(request, body);
    if (verb == "PUT")
        return manager.put(request, body);
    if (verb == "DELETE" && body.isEmpty())
        return manager.deleteResource(request);
    return manager.sendCustomRequest(request, verb, body);
}
