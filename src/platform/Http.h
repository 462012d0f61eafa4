#pragma once

#include "platform/DownloadDurability.h"
#include "platform/HttpFileTransfer.h"
#include "platform/HttpResponse.h"
#include "platform/HttpTransfer.h"
#include "platform/HttpWorker.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QFuture>
#include <QNetworkRequest>
#include <QString>

#include <functional>
#include <memory>
#include <stop_token>

class QNetworkAccessManager;
class QNetworkReply;

// Bytes done and bytes expected (-1 when the server did not say), reported on the GUI thread.
using HttpProgress = std::function<void(qint64 done, qint64 total)>;

// Every transfer of the application. Calls with small bodies (the catalogue, images, feeds) go
// through one QNetworkAccessManager on the GUI thread, used from coroutines; downloads into files
// and uploads from them run through libcurl on a worker thread of their own (HttpWorker). A
// reply that carries an HTTP status is returned as an HttpResponse, whatever the status; a
// transfer that fails without one throws HttpError, in the same words on both paths. Local file
// failures of download and upload throw FileError. TLS trusts the system's certificates plus the
// extra CA file of the deployment configuration, and lets a certificate pass only when one of
// them vouches for it, it is made out to the host asked for and it is valid now. A redirect is
// followed at most kMaxRedirects times; the reply after that is returned as it is.
class Http {
public:
    static constexpr int kDefaultTimeoutMs = 60'000;
    static constexpr int kMaxRedirects = 16;
    // The most a reply's body may hold unless the call asks for another bound: room for any
    // picture or feed the application fetches, while a reply without end takes no more.
    static constexpr qint64 kDefaultMaxBodyBytes = 32 << 20;

    Http();
    ~Http();
    Http(const Http&) = delete;
    Http& operator=(const Http&) = delete;

    static Http& shared();

    // Reads the system's authorities and the configured CA file's on a worker thread (some 20 ms
    // of CPU), so that the first request of a launch that needs them finds them ready instead of
    // reading them on the GUI thread. Nothing without a CA file. Called once at start.
    void prepareTrust();

    // `timeoutMs` is the longest silence allowed during the transfer (no bytes either way);
    // a stop request aborts the transfer and throws HttpError::Kind::Cancelled. A reply that
    // announces or brings a body longer than `maxBodyBytes` is cut off there, its bytes freed,
    // and throws HttpError::Kind::TooLarge. "Authorization" and "Cookie" go with a redirect
    // only while it stays on the origin (scheme, host and port) of the hop before.
    QCoro::Task<HttpResponse> send(QNetworkRequest request, QByteArray verb = "GET", QByteArray body = {},
        std::stop_token stop = {}, int timeoutMs = kDefaultTimeoutMs, qint64 maxBodyBytes = kDefaultMaxBodyBytes);

    // Streams a GET into `destinationPath`. The file appears, whole, only for a complete 2xx
    // reply; any other status returns the response (its small error body in `body`) and writes
    // nothing; a failure leaves neither a partial file nor a temporary one, and an existing file
    // at the destination stays as it was until a successful transfer replaces it. With
    // `byteLimit` (0 or more), a 2xx reply stops once that many bytes arrived and the file holds
    // just those: a server that ignores a Range header never costs more than was asked for.
    // `durability` says whether the file reaches the disk before it takes its name (a file the
    // user keeps) or not (a cache's copy). `tap`, when given, sees the body on the transfer's
    // worker thread as it is written.
    QCoro::Task<HttpResponse> download(QNetworkRequest request, QString destinationPath, DownloadDurability durability,
        HttpProgress progress = {}, std::stop_token stop = {}, int timeoutMs = kDefaultTimeoutMs, qint64 byteLimit = -1,
        std::shared_ptr<HttpBodyTap> tap = {});

    // Sends the file at `filePath` as the body, read from disk as the transfer goes. The reply's
    // body is kept up to 1 MiB, as is the error page of a download.
    QCoro::Task<HttpResponse> upload(QNetworkRequest request, QByteArray verb, QString filePath,
        HttpProgress progress = {}, std::stop_token stop = {}, int timeoutMs = kDefaultTimeoutMs);

    // Ends every download and upload in flight (each throws HttpError::Kind::Cancelled), and
    // any started later, without waiting: the quit's first step, so that no transfer writes on
    // while the rest of the quit runs, and their files are let go on the transfer thread
    // meanwhile rather than by the end of the process. Any thread.
    void cancelTransfers();

    // Ends every call in flight (each throws HttpError::Kind::Cancelled) and Qt's network
    // thread with them, before the application object goes: a thread that outlives it races
    // the process's own clean-up. A call made after this fails as cancelled. GUI thread.
    void shutDown();

    // The call on `manager` that sends `verb` with `body`.
    static QNetworkReply* start(QNetworkAccessManager& manager, const QNetworkRequest& request, const QByteArray& verb,
        const QByteArray& body);

    // Lets a connection trust the authorities of `caFile` beside the system's. The check holds
    // what it needs, so it may outlive this object. Any thread.
    HttpTransfer::CertificateCheck caFileCheck(const QString& caFile) const;

private:
    using MakeTransfer = std::unique_ptr<HttpFileTransfer> (*)(HttpFileTransfer::Order, std::shared_ptr<HttpFileTransfer::Progress>,
        HttpFileTransfer::Promise);

    QCoro::Task<> trustReady();
    QNetworkRequest prepared(QNetworkRequest request);
    static QNetworkRequest withRedirectLimit(QNetworkRequest request);
    // Runs a file transfer on the worker and waits for its outcome, relaying its progress.
    QCoro::Task<HttpResponse> onWorker(MakeTransfer make, HttpFileTransfer::Order order, HttpProgress progress);

    // Gone after shutDown().
    std::unique_ptr<QNetworkAccessManager> manager_;
    // The calls that hold one of its replies.
    int holdingReplies_ = 0;
    // The authorities beside Qt's own lookup of the system's, shared with the worker.
    std::shared_ptr<HttpTrustStore> trustStore_ = std::make_shared<HttpTrustStore>();
    // Downloads into files and uploads from them stream there.
    HttpWorker worker_{trustStore_};
    // The CA file the open connections were verified under.
    QString caFileOfConnections_;
    // The store prepareTrust() fills, until it is done.
    QFuture<void> preparedTrust_;
    // Expires with this object: a call that waited for the trust finds out whether it is still here.
    std::shared_ptr<bool> lifetime_ = std::make_shared<bool>(true);
};
