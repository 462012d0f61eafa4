#include "platform/HttpFileTransfer.h"

#include "platform/FileError.h"
#include "platform/Http.h"
#include "platform/HttpDownloadFile.h"
#include "platform/HttpTransfer.h"

#include <QFile>
#include <QNetworkReply>

#include <algorithm>
#include <optional>

namespace {
// Error pages are kept for the caller's message; anything beyond this is counted, not kept.
constexpr qint64 kMaxErrorBodyBytes = 1 << 20;
// The network hands a body over in pieces of a few KiB, each with a wake-up of this thread;
// the reply gathers them until a block is there, read and written in one go.
constexpr qint64 kBlockBytes = 256 << 10;

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
    self->file_ = std::make_unique<HttpDownloadFile>(path);
    if (!self->file_->open()) {
        const QString problem = QStringLiteral("cannot be written (%1)").arg(self->file_->errorString());
        self->settle([&]() -> HttpResponse { throw FileError(path, problem); });
        return;
    }
    self->block_.resize(kBlockBytes);
    self->transfer_ = std::make_unique<HttpTransfer>(Http::start(manager, request, "GET", QByteArray()), "GET", std::move(stop), timeoutMs);
    // The reply's read buffer is left unbounded, so the body waits there until a block is whole.
    QNetworkReply* reply = self->transfer_->reply();
    connect(reply, &QNetworkReply::readyRead, self, [self] { self->drain(false); });
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

void HttpFileTransfer::drain(bool everything)
{
    QNetworkReply* reply = transfer_->reply();
    if (!reply->isOpen())
        return;
    if (!hasSuccessStatus(reply)) {
        const QByteArray chunk = reply->readAll();
        received_ += chunk.size();
        errorBody_.append(chunk.left(kMaxErrorBodyBytes - errorBody_.size()));
        return;
    }
    while (!writeFailed_ && !limitReached_) {
        const qint64 block = byteLimit_ >= 0 ? std::min(kBlockBytes, byteLimit_ - kept_) : kBlockBytes;
        const qint64 available = reply->bytesAvailable();
        // A whole block, or what the limit still allows, or at the end whatever is left.
        if (available == 0 || (available < block && !everything))
            return;
        keep(std::min(available, block));
    }
}

void HttpFileTransfer::keep(qint64 size)
{
    const qint64 read = size > 0 ? transfer_->reply()->read(block_.data(), size) : 0;
    received_ += read;
    kept_ += read;
    if (read > 0 && !file_->write(block_.constData(), read)) {
        writeFailed_ = true;
        transfer_->abortLater(HttpError::Kind::Cancelled);
    } else if (byteLimit_ >= 0 && kept_ >= byteLimit_) {
        limitReached_ = true;
        transfer_->abortLater(HttpError::Kind::Cancelled);
    }
}

HttpResponse HttpFileTransfer::downloaded()
{
    drain(true);
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
