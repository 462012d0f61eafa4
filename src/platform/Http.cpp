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
#include <QSslError>
#include <QCoro/QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

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
    const QString caFile = Config::current().caCertificateFile;
    if (!preparedTrust_.isValid() && !caFile.isEmpty())
        preparedTrust_ = QtConcurrent::run([store = trustStore_, caFile] { store->trustFor(caFile); });
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
    bool resent = false;
    for (int redirects = 0;;) {
        if (!manager_)
            throwCancelled(); // shut down meanwhile
        const Holding holding(holdingReplies_);
        HttpTransfer transfer(start(*manager_, hop, verb, body), verb, stop, timeoutMs);
        if (!caFileOfConnections_.isEmpty())
            transfer.setCertificateCheck(caFileCheck(caFileOfConnections_));
        transfer.limitBody(maxBodyBytes);
        co_await transfer.finished();
        // A server closes a kept-alive connection once it sat idle for a while, and a request
        // written to it at that moment meets the close. Qt sends it again on a fresh connection
        // in most of those races, not in all; a request that got no byte of an answer goes once
        // more from here, so a search or a like does not fail on a connection the server let go.
        if (!resent && transfer.closedBeforeAnswer()) {
            resent = true;
            logLine(QStringLiteral("🔁"), QStringLiteral("Http"),
                QStringLiteral("%1 %2: the server closed the connection before answering; sending it once more")
                    .arg(QString::fromLatin1(verb), hop.url().toDisplayString(QUrl::RemoveQuery)));
            continue;
        }
        HttpResponse response = transfer.resultWithBody();
        const auto next = HttpRedirect::target(original, response.url, response.status, response.header("Location"));
        if (!next || redirects++ >= original.maximumRedirectsAllowed())
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
        QFuture<void> pending = preparedTrust_;
        co_await pending;
    }
}

QNetworkRequest Http::prepared(QNetworkRequest request)
{
    // Read per request, so a changed configuration (a test's override) takes effect at once.
    // Connections already open were verified under the previous file. (libcurl keeps its
    // connections apart by the CA file they were made under.)
    if (const QString caFile = Config::current().caCertificateFile; caFile != caFileOfConnections_) {
        caFileOfConnections_ = caFile;
        if (manager_)
            manager_->clearConnectionCache();
    }
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

namespace {
// Whether Qt's complaints about a certificate all say that its authority is unknown to Qt, the
// one thing the CA file's authorities can answer. Any other fault (a date, a name, a broken
// signature) stands.
bool onlyAnUnknownAuthority(const QList<QSslError>& errors)
{
    return std::ranges::all_of(errors, [](const QSslError& error) {
        switch (error.error()) {
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::CertificateUntrusted: return true;
        default: return false;
        }
    });
}
} // namespace

HttpTransfer::CertificateCheck Http::caFileCheck(const QString& caFile) const
{
    // Qt looks the system's authorities up as a handshake needs them, and a list of our own would
    // replace that lookup, costing a read of every authority per launch. So a certificate Qt
    // cannot place is put to the store of the system's and the CA file's authorities, which
    // checks it in full (chain, dates, purpose and the host's name).
    return [store = trustStore_, caFile](const QNetworkReply& reply, const QList<QSslError>& errors) {
        // A certificate names a host in its ASCII form.
        const QString host = reply.url().host(QUrl::EncodeUnicode);
        return onlyAnUnknownAuthority(errors)
            && HttpTrustStore::verifies(store->trustFor(caFile), reply.sslConfiguration().peerCertificateChain(), host);
    };
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
