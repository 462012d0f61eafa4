#include "platform/HttpFileTransfer.h"

#include "platform/FileError.h"
#include "platform/Http.h"
#include "platform/HttpTransfer.h"

#include <QFile>
#include <QNetworkReply>
#include <QSaveFile>

#include <optional>

namespace {
// Error pages are kept for the caller's message; anything beyond this is counted, not kept.
constexpr qint64 kMaxErrorBodyBytes = 1 << 20;
// Bytes gathered before one write of the file.
constexpr qint64 kWriteBytes = 1 << 20;

bool hasSuccessStatus(const QNetworkReply* reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 200 && status <= 299;
}
} // namespace

HttpFileTransfer::HttpFileTransfer(std::shared_ptr<Progress> progress, Promise promise)
    : progress_(std::move(progress)), promise_(std::move(promise))
{
}

HttpFileTransfer::~HttpFileTransfer() = default;

void HttpFileTransfer::download(QNetworkAccessManager& manager, const QNetworkRequest& request, const QString& path,
    std::stop_token stop, int timeoutMs, qint64 byteLimit, std::shared_ptr<Progress> progress, Promise promise)
{
    auto* self = new HttpFileTransfer(std::move(progress), std::move(promise));
    self->byteLimit_ = byteLimit;
    self->setParent(&manager);
    self->path_ = path;
    // The bytes go to a temporary file beside the destination, renamed over it only on commit;
    // dropping an uncommitted QSaveFile removes its temporary file.
    self->file_ = std::make_unique<QSaveFile>(path);
    if (!self->file_->open(QIODevice::WriteOnly)) {
        const QString problem = QStringLiteral("cannot be written (%1)").arg(self->file_->errorString());
        self->settle([&]() -> HttpResponse { throw FileError(path, problem); });
        return;
    }
    self->pending_.reserve(kWriteBytes);
    self->transfer_ = std::make_unique<HttpTransfer>(Http::start(manager, request, "GET", QByteArray()), "GET", std::move(stop), timeoutMs);
    // The reply's read buffer is left unbounded: every readyRead is drained at once.
    QNetworkReply* reply = self->transfer_->reply();
    connect(reply, &QNetworkReply::readyRead, self, &HttpFileTransfer::drain);
    connect(reply, &QNetworkReply::downloadProgress, self, [self, reply](qint64 done, qint64 total) {
        if (hasSuccessStatus(reply))
            self->count(done, total);
    });
    connect(reply, &QNetworkReply::finished, self, [self] { self->settle([self] { return self->downloaded(); }); });
}

void HttpFileTransfer::upload(QNetworkAccessManager& manager, const QNetworkRequest& request, const QByteArray& verb,
    const QString& path, std::stop_token stop, int timeoutMs, std::shared_ptr<Progress> progress, Promise promise)
{
    auto* self = new HttpFileTransfer(std::move(progress), std::move(promise));
    self->setParent(&manager);
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        const QString problem = QStringLiteral("cannot be read (%1)").arg(file->errorString());
        self->settle([&]() -> HttpResponse { throw FileError(path, problem); });
        return;
    }
    self->transfer_ = std::make_unique<HttpTransfer>(Http::start(manager, request, verb, file.get()), verb, std::move(stop), timeoutMs);
    QNetworkReply* reply = self->transfer_->reply();
    // Qt reads the body from the file until the reply is gone, so the reply owns it.
    file.release()->setParent(reply);
    connect(reply, &QNetworkReply::uploadProgress, self, [self](qint64 done, qint64 total) {
        // Qt resets the figures to (0, 0) once the body is sent; that is no progress to show.
        if (done > 0 || total > 0)
            self->count(done, total);
    });
    connect(reply, &QNetworkReply::finished, self, [self] { self->settle([self] { return self->transfer_->resultWithBody(); }); });
}

void HttpFileTransfer::count(qint64 done, qint64 total)
{
    progress_->total = total;
    progress_->done = done;
    ++progress_->updates;
}

void HttpFileTransfer::drain()
{
    const QByteArray chunk = transfer_->takeAvailable();
    received_ += chunk.size();
    if (!hasSuccessStatus(transfer_->reply())) {
        errorBody_.append(chunk.left(kMaxErrorBodyBytes - errorBody_.size()));
    } else if (!writeFailed_ && !limitReached_) {
        QByteArray kept = chunk;
        if (byteLimit_ >= 0 && kept_ + kept.size() >= byteLimit_) {
            kept.truncate(byteLimit_ - kept_);
            limitReached_ = true;
            transfer_->abortLater(HttpError::Kind::Cancelled);
        }
        kept_ += kept.size();
        pending_.append(kept);
        if (pending_.size() >= kWriteBytes)
            flush();
    }
}

void HttpFileTransfer::flush()
{
    if (pending_.isEmpty() || writeFailed_)
        return;
    if (file_->write(pending_) != pending_.size()) {
        writeFailed_ = true;
        transfer_->abortLater(HttpError::Kind::Cancelled);
    }
    pending_.truncate(0);
}

HttpResponse HttpFileTransfer::downloaded()
{
    drain();
    flush();
    if (writeFailed_)
        throw FileError(path_, QStringLiteral("cannot be written (%1)").arg(file_->errorString()));
    // Ended on purpose once the limit was there: the reply as it stood, with the bytes asked for.
    HttpResponse response = limitReached_ ? transfer_->answerSoFar() : transfer_->result(std::move(errorBody_), received_);
    if (response.isSuccess() && !file_->commit())
        throw FileError(path_, QStringLiteral("cannot be saved (%1)").arg(file_->errorString()));
    return response;
}

void HttpFileTransfer::settle(const std::function<HttpResponse()>& outcome)
{
    std::optional<HttpResponse> response;
    std::exception_ptr failure;
    try {
        response = outcome();
    } catch (...) {
        failure = std::current_exception();
    }
    // A caller that resumes finds no temporary file left behind.
    file_.reset();
    transfer_.reset();
    if (response)
        promise_->addResult(std::move(*response));
    else
        promise_->setException(failure);
    promise_->finish();
    deleteLater();
}
