#pragma once

#include "platform/HttpError.h"
#include "platform/HttpResponse.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <coroutine>
#include <functional>
#include <optional>
#include <stop_token>

class QNetworkReply;
class QSslError;
class QTimer;

// Watches one reply for Http on the GUI thread: the inactivity time-out, the caller's stop
// request and TLS failures, then reads the finished reply as a response or a failure.
// Owns the reply; the reply is deleted later, since it may still be emitting when we are done.
// A reply its manager deletes unfinished (the Http going away) ends the wait at once as
// cancelled, so the waiting coroutine, and the request and TLS trust it holds, never outlive it.
class HttpTransfer : public QObject {
    Q_OBJECT
public:
    // `timeoutMs` is the longest silence allowed (no bytes either way); 0 or less waits forever.
    HttpTransfer(QNetworkReply* reply, QByteArray verb, std::stop_token stop, int timeoutMs);
    ~HttpTransfer() override;

    QNetworkReply* reply() const { return reply_.data(); }

    // Asked about a certificate Qt refused, with Qt's complaints: true sets them aside (the
    // reply's connection trusts the certificate), false lets them end the transfer.
    using CertificateCheck = std::function<bool(const QNetworkReply& reply, const QList<QSslError>& errors)>;
    void setCertificateCheck(CertificateCheck check) { certificateCheck_ = std::move(check); }

    // What the network thread reads ahead of a limited body before it waits for us.
    static constexpr qint64 kReadBufferBytes = 1 << 20;

    // Ends the transfer with HttpError::Kind::TooLarge once the reply announces or holds more
    // than `maxBytes` of body, freeing what it held.
    void limitBody(qint64 maxBytes);

    // Ends the transfer on a later turn of the event loop, never inside one of the reply's
    // signals, so a waiting coroutine never resumes in the middle of our own handlers.
    void abortLater(HttpError::Kind reason);

    // Returns once the reply finished, or was deleted unfinished.
    QCoro::Task<> finished();

    // What the reply holds unread; nothing once the transfer was aborted.
    QByteArray takeAvailable();

    // After finished(): the reply as a response carrying `body`, or an HttpError when the
    // transfer failed or fewer bytes arrived (`receivedBytes`) than the server announced.
    HttpResponse result(QByteArray body, qint64 receivedBytes) const;
    // result() with whatever body the reply holds.
    HttpResponse resultWithBody();
    // The status, headers and address the reply had when this side ended it on purpose (it
    // had all it wanted), without a body.
    HttpResponse answerSoFar() const;
    // After finished(): the server closed the connection before a byte of its answer came,
    // as it does with a kept-alive connection it found idle while the request was on its way.
    bool closedBeforeAnswer() const;

private:
    // The reply finished or is gone: the coroutine waiting in finished() goes on, at once.
    void wake();
    void restartIdleTimer();
    // Frees the body read so far and ends the transfer as too large.
    void dropBody();
    void checkComplete(int status, qint64 receivedBytes) const;
    [[noreturn]] void throwFailure(int status) const;
    [[noreturn]] void throwTooLarge() const;

    QPointer<QNetworkReply> reply_;
    CertificateCheck certificateCheck_;
    std::coroutine_handle<> waiting_;
    QByteArray verb_;
    int timeoutMs_;
    qint64 maxBodyBytes_ = -1;
    // With a limit, the body read so far.
    QByteArray received_;
    bool bodyTooLarge_ = false;
    QTimer* idleTimer_;
    std::optional<HttpError::Kind> abortReason_;
    QStringList tlsErrors_;
    std::optional<std::stop_callback<std::function<void()>>> stopCallback_;
};
