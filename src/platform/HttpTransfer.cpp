#include "platform/HttpTransfer.h"

#include <QNetworkReply>
#include <QSslError>
#include <QTimer>

#include <utility>

namespace {
// Qt's error for a 4xx status it has no name for, and also for a body it could not decompress.
bool isUndecodableBody(QNetworkReply::NetworkError error, int status)
{
    return error == QNetworkReply::UnknownContentError && (status < 400 || status > 499);
}

// The errors Qt derives from the status line alone: such a reply still is a complete answer.
bool comesFromStatus(QNetworkReply::NetworkError error, int status)
{
    if (isUndecodableBody(error, status))
        return false;
    switch (error) {
    case QNetworkReply::NoError:
    case QNetworkReply::ContentAccessDenied:
    case QNetworkReply::ContentOperationNotPermittedError:
    case QNetworkReply::ContentNotFoundError:
    case QNetworkReply::AuthenticationRequiredError:
    case QNetworkReply::ContentConflictError:
    case QNetworkReply::ContentGoneError:
    case QNetworkReply::UnknownContentError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::InternalServerError:
    case QNetworkReply::OperationNotImplementedError:
    case QNetworkReply::ServiceUnavailableError:
    case QNetworkReply::UnknownServerError:
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::TooManyRedirectsError:
        return true;
    default:
        return false;
    }
}

} // namespace

HttpTransfer::HttpTransfer(QNetworkReply* reply, QByteArray verb, std::stop_token stop, int timeoutMs)
    : reply_(reply), verb_(std::move(verb)), timeoutMs_(timeoutMs), idleTimer_(new QTimer(this))
{
    idleTimer_->setSingleShot(true);
    connect(idleTimer_, &QTimer::timeout, this, [this] { abortLater(HttpError::Kind::TimedOut); });
    // Qt throttles the progress signals, so arriving data counts as activity too.
    connect(reply_, &QNetworkReply::finished, this, &HttpTransfer::wake);
    connect(reply_, &QObject::destroyed, this, &HttpTransfer::wake);
    connect(reply_, &QNetworkReply::metaDataChanged, this, &HttpTransfer::restartIdleTimer);
    connect(reply_, &QNetworkReply::readyRead, this, &HttpTransfer::restartIdleTimer);
    connect(reply_, &QNetworkReply::downloadProgress, this, &HttpTransfer::restartIdleTimer);
    connect(reply_, &QNetworkReply::uploadProgress, this, &HttpTransfer::restartIdleTimer);
    connect(reply_, &QNetworkReply::sslErrors, this, [this](const QList<QSslError>& errors) {
        if (certificateCheck_ && certificateCheck_(*reply_, errors)) {
            reply_->ignoreSslErrors(errors);
            return;
        }
        for (const QSslError& error : errors)
            tlsErrors_ << error.errorString();
    });
    restartIdleTimer();
    // The stop may be requested on any thread; the abort itself always runs on the reply's.
    stopCallback_.emplace(std::move(stop), [this] { abortLater(HttpError::Kind::Cancelled); });
}

HttpTransfer::~HttpTransfer()
{
    // Waits for a stop callback running on another thread, so nothing posts after this.
    stopCallback_.reset();
    if (!reply_)
        return;
    reply_->disconnect(this);
    if (!reply_->isFinished())
        reply_->abort();
    reply_->deleteLater();
}

void HttpTransfer::abortLater(HttpError::Kind reason)
{
    // Queued on the reply, which outlives this object until its deferred deletion: once the
    // reply has finished, the call touches nothing else.
    QNetworkReply* reply = reply_;
    if (!reply)
        return;
    QMetaObject::invokeMethod(reply, [this, reply, reason] {
        if (reply->isFinished())
            return;
        abortReason_ = reason;
        reply->abort(); // resumes the waiting coroutine, which may delete this object
    }, Qt::QueuedConnection);
}

void HttpTransfer::limitBody(qint64 maxBytes)
{
    maxBodyBytes_ = maxBytes;
    // The body is taken as it arrives: Qt unpacks a compressed one only as it is read, and
    // stalls rather than fails once its buffer is full. The buffer is kept small, so that a GUI
    // thread that is slow to take what came (a busy machine) holds the network thread back
    // instead of letting an endless reply pile up far beyond the limit before it is checked.
    reply_->setReadBufferSize(kReadBufferBytes);
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
        bool announced = false;
        const qint64 length = reply_->rawHeader("Content-Length").trimmed().toLongLong(&announced);
        if (announced && length > maxBodyBytes_)
            dropBody();
    });
    connect(reply_, &QNetworkReply::readyRead, this, [this] {
        QByteArray piece = takeAvailable();
        if (bodyTooLarge_)
            return;
        received_ += piece;
        if (received_.size() > maxBodyBytes_)
            dropBody();
    });
}

void HttpTransfer::dropBody()
{
    bodyTooLarge_ = true;
    received_ = QByteArray();
    abortLater(HttpError::Kind::TooLarge);
}

QCoro::Task<> HttpTransfer::finished()
{
    // Resumed from the reply's own signal, not on a later turn of the event loop: a reply
    // deleted with its manager as the process ends gets no later turn.
    struct End {
        HttpTransfer* transfer;
        bool await_ready() const noexcept { return !transfer->reply_ || transfer->reply_->isFinished(); }
        void await_suspend(std::coroutine_handle<> waiting) noexcept { transfer->waiting_ = waiting; }
        void await_resume() const noexcept {}
    };
    co_await End{this};
}

void HttpTransfer::wake()
{
    if (const std::coroutine_handle<> waiting = std::exchange(waiting_, {}))
        waiting.resume();
}

QByteArray HttpTransfer::takeAvailable()
{
    return reply_ && reply_->isOpen() ? reply_->readAll() : QByteArray();
}

void HttpTransfer::restartIdleTimer()
{
    if (timeoutMs_ > 0)
        idleTimer_->start(timeoutMs_);
}

void HttpTransfer::throwTooLarge() const
{
    constexpr qint64 kMiB = 1 << 20;
    const QString allowed = maxBodyBytes_ % kMiB == 0 ? QStringLiteral("%1 MiB").arg(maxBodyBytes_ / kMiB)
                                                      : QStringLiteral("%1 bytes").arg(maxBodyBytes_);
    const QNetworkReply::NetworkError error = reply_ ? reply_->error() : QNetworkReply::OperationCanceledError;
    throw HttpError(HttpError::Kind::TooLarge, error, QStringLiteral("The reply is longer than the %1 allowed.").arg(allowed));
}

HttpResponse HttpTransfer::result(QByteArray body, qint64 receivedBytes) const
{
    // Whatever else went wrong after, the body was dropped.
    if (bodyTooLarge_)
        throwTooLarge();
    if (!reply_)
        throw HttpError(HttpError::Kind::Cancelled, QNetworkReply::OperationCanceledError, QStringLiteral("The request was cancelled."));
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // The status comes first: a reply that carries one is an answer, whatever Qt made of it,
    // unless the transfer itself broke off.
    if (abortReason_ || status <= 0 || !comesFromStatus(reply_->error(), status))
        throwFailure(status);
    // The last piece may arrive with the end of the reply, after the last check of its size.
    if (maxBodyBytes_ >= 0 && receivedBytes > maxBodyBytes_)
        throwTooLarge();
    checkComplete(status, receivedBytes);

    HttpResponse response = answerSoFar();
    response.body = std::move(body);
    return response;
}

HttpResponse HttpTransfer::answerSoFar() const
{
    HttpResponse response;
    response.status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    response.headers = reply_->rawHeaderPairs();
    response.url = reply_->url();
    return response;
}

bool HttpTransfer::closedBeforeAnswer() const
{
    return reply_ && !abortReason_ && reply_->error() == QNetworkReply::RemoteHostClosedError
        && !reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

HttpResponse HttpTransfer::resultWithBody()
{
    QByteArray body = std::exchange(received_, QByteArray()) + takeAvailable();
    const qint64 size = body.size();
    return result(std::move(body), size);
}

void HttpTransfer::checkComplete(int status, qint64 receivedBytes) const
{
    const bool hasBody = verb_ != "HEAD" && status >= 200 && status != 204 && status != 304;
    // Qt drops Content-Length itself when it unpacks a compressed body.
    const QByteArray announced = reply_->rawHeader("Content-Length");
    if (!hasBody || announced.isEmpty())
        return;
    bool valid = false;
    const qint64 expected = announced.trimmed().toLongLong(&valid);
    if (valid && receivedBytes < expected) {
        throw HttpError(HttpError::Kind::Transport, reply_->error(),
            QStringLiteral("The connection closed before the whole reply arrived (%1 of %2 bytes).")
                .arg(receivedBytes).arg(expected));
    }
}

void HttpTransfer::throwFailure(int status) const
{
    using Kind = HttpError::Kind;
    const QNetworkReply::NetworkError error = reply_->error();
    if (abortReason_ == Kind::TimedOut || error == QNetworkReply::TimeoutError)
        throw HttpError(Kind::TimedOut, error, QStringLiteral("The request timed out."));
    if (abortReason_ == Kind::TooLarge)
        throwTooLarge();
    if (abortReason_ == Kind::Cancelled || error == QNetworkReply::OperationCanceledError)
        throw HttpError(Kind::Cancelled, error, QStringLiteral("The request was cancelled."));
    if (!tlsErrors_.isEmpty() || error == QNetworkReply::SslHandshakeFailedError) {
        const QString details = tlsErrors_.isEmpty() ? reply_->errorString() : tlsErrors_.join(QStringLiteral("; "));
        throw HttpError(Kind::Tls, error, QStringLiteral("The secure connection could not be established: ") + details);
    }
    if (isUndecodableBody(error, status))
        throw HttpError(Kind::Transport, error, QStringLiteral("The reply's body could not be decompressed."));
    if (status > 0) {
        throw HttpError(Kind::Transport, error,
            QStringLiteral("The connection closed before the whole reply arrived: ") + reply_->errorString());
    }
    if (error == QNetworkReply::NoError)
        throw HttpError(Kind::Transport, error, QStringLiteral("The server's reply is not an HTTP reply."));
    throw HttpError(Kind::Transport, error, reply_->errorString());
}
