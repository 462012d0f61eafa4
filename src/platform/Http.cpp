#include "platform/Http.h"

#include "foundation/Config.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "platform/FileError.h"
#include "platform/HttpTransfer.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <QSslCertificate>
#include <QCoro/QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

namespace {
// Error pages are kept for the caller's message; anything beyond this is counted, not kept.
constexpr qint64 kMaxErrorBodyBytes = 1 << 20;

void throwIfStopped(const std::stop_token& stop)
{
    if (stop.stop_requested())
        throw HttpError(HttpError::Kind::Cancelled, QNetworkReply::OperationCanceledError,
            QStringLiteral("The request was cancelled."));
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

bool hasSuccessStatus(const QNetworkReply* reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 200 && status <= 299;
}
} // namespace

Http::Http() : manager_(std::make_unique<QNetworkAccessManager>()) {}

Http::~Http() = default;

Http& Http::shared() { return Shared<Http>::instance(); }

void Http::prepareTrust()
{
    if (!preparedTrust_.isValid() && !caFile_)
        preparedTrust_ = QtConcurrent::run(&Http::buildTrust, Config::current().caCertificateFile);
}

QCoro::Task<HttpResponse> Http::send(QNetworkRequest request, QByteArray verb, QByteArray body,
    std::stop_token stop, int timeoutMs)
{
    throwIfStopped(stop);
    co_await trustReady();
    HttpTransfer transfer(start(prepared(std::move(request)), verb, body), verb, std::move(stop), timeoutMs);
    co_await transfer.finished();
    co_return transfer.resultWithBody();
}

QCoro::Task<HttpResponse> Http::download(QNetworkRequest request, QString destinationPath, HttpProgress progress,
    std::stop_token stop, int timeoutMs, qint64 byteLimit)
{
    throwIfStopped(stop);
    co_await trustReady();
    // The bytes go to a temporary file beside the destination, renamed over it only on commit;
    // dropping an uncommitted QSaveFile removes its temporary file.
    QSaveFile file(destinationPath);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(destinationPath, QStringLiteral("cannot be written (%1)").arg(file.errorString()));

    HttpTransfer transfer(start(prepared(std::move(request)), "GET", QByteArray()), "GET", std::move(stop), timeoutMs);
    // The reply's read buffer is left unbounded: every readyRead is drained at once, so it only
    // holds what arrives while the GUI thread is busy, and a bound costs a round trip to Qt's
    // network thread each time it fills (measured: 15% of the throughput at 4 MiB).
    QNetworkReply* reply = transfer.reply();

    QByteArray errorBody;
    qint64 received = 0;
    bool writeFailed = false;
    bool limitReached = false;
    const auto drain = [&] {
        QByteArray chunk = transfer.takeAvailable();
        received += chunk.size();
        if (!hasSuccessStatus(reply)) {
            errorBody.append(chunk.left(kMaxErrorBodyBytes - errorBody.size()));
            return;
        }
        if (limitReached)
            return;
        if (byteLimit >= 0 && file.pos() + chunk.size() >= byteLimit) {
            chunk.truncate(byteLimit - file.pos());
            limitReached = true;
            transfer.abortLater(HttpError::Kind::Cancelled);
        }
        if (!writeFailed && file.write(chunk) != chunk.size()) {
            writeFailed = true;
            transfer.abortLater(HttpError::Kind::Cancelled);
        }
    };
    QObject::connect(reply, &QNetworkReply::readyRead, &transfer, drain);
    QObject::connect(reply, &QNetworkReply::downloadProgress, &transfer, [&](qint64 done, qint64 total) {
        if (hasSuccessStatus(reply))
            report(progress, done, total);
    });

    co_await transfer.finished();
    drain();
    if (writeFailed)
        throw FileError(destinationPath, QStringLiteral("cannot be written (%1)").arg(file.errorString()));
    // Ended on purpose once the limit was there: the reply as it stood, with the bytes asked for.
    HttpResponse response = limitReached ? transfer.answerSoFar() : transfer.result(std::move(errorBody), received);
    if (response.isSuccess() && !file.commit())
        throw FileError(destinationPath, QStringLiteral("cannot be saved (%1)").arg(file.errorString()));
    co_return response;
}

QCoro::Task<HttpResponse> Http::upload(QNetworkRequest request, QByteArray verb, QString filePath,
    HttpProgress progress, std::stop_token stop, int timeoutMs)
{
    throwIfStopped(stop);
    co_await trustReady();
    auto file = std::make_unique<QFile>(filePath);
    if (!file->open(QIODevice::ReadOnly))
        throw FileError(filePath, QStringLiteral("cannot be read (%1)").arg(file->errorString()));
    if (request.header(QNetworkRequest::ContentTypeHeader).isNull())
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/octet-stream"));

    HttpTransfer transfer(start(prepared(std::move(request)), verb, file.get()), verb, std::move(stop), timeoutMs);
    QNetworkReply* reply = transfer.reply();
    // Qt reads the body from the file until the reply is gone, so the reply owns it.
    file.release()->setParent(reply);
    QObject::connect(reply, &QNetworkReply::uploadProgress, &transfer, [&progress](qint64 done, qint64 total) {
        // Qt resets the figures to (0, 0) once the body is sent; that is no progress to show.
        if (done > 0 || total > 0)
            report(progress, done, total);
    });

    co_await transfer.finished();
    co_return transfer.resultWithBody();
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
    request.setSslConfiguration(tlsConfiguration());
    // Qt 6.4 stalls the requests queued behind one aborted while HTTP/2 is still being
    // negotiated with a new host; every transfer here is one request per file, so HTTP/1.1
    // loses nothing.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    return request;
}

QSslConfiguration Http::tlsConfiguration()
{
    // Read per request, so a changed configuration (a test's override) takes effect at once.
    const QString caFile = Config::current().caCertificateFile;
    if (caFile_ == caFile)
        return tls_;

    // Requests wait for prepareTrust() in trustReady(), so its result is there.
    std::optional<Trust> trust;
    if (preparedTrust_.isValid()) {
        trust = preparedTrust_.result();
        preparedTrust_ = {};
    }
    if (!trust || trust->caFile != caFile)
        trust = buildTrust(caFile);
    caFile_ = caFile;
    tls_ = trust->tls;
    // Connections already open were verified against the previous trust.
    manager_->clearConnectionCache();
    return tls_;
}

Http::Trust Http::buildTrust(const QString& caFile)
{
    Trust trust{caFile, QSslConfiguration::defaultConfiguration()};
    if (caFile.isEmpty())
        return trust;
    const QList<QSslCertificate> extra = QSslCertificate::fromPath(caFile);
    if (extra.isEmpty())
        logLine(QStringLiteral("⚠️"), QStringLiteral("Http"), QStringLiteral("No certificate could be read from the CA file ") + caFile);
    // Setting the list replaces the system's, so the system's come first.
    trust.tls.setCaCertificates(QSslConfiguration::systemCaCertificates() + extra);
    return trust;
}

QNetworkReply* Http::start(const QNetworkRequest& request, const QByteArray& verb, const QByteArray& body)
{
    if (verb == "GET" && body.isEmpty())
        return manager_->get(request);
    if (verb == "HEAD")
        return manager_->head(request);
    if (verb == "POST")
        return manager_->post(request, body);
    if (verb == "PUT")
        return manager_->put(request, body);
    if (verb == "DELETE" && body.isEmpty())
        return manager_->deleteResource(request);
    return manager_->sendCustomRequest(request, verb, body);
}

QNetworkReply* Http::start(const QNetworkRequest& request, const QByteArray& verb, QIODevice* body)
{
    if (verb == "POST")
        return manager_->post(request, body);
    if (verb == "PUT")
        return manager_->put(request, body);
    return manager_->sendCustomRequest(request, verb, body);
}
