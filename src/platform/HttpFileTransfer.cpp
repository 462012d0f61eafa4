#include "platform/HttpFileTransfer.h"

#include "platform/FileError.h"
#include "platform/HttpBodyTap.h"
#include "platform/HttpCertificateCheck.h"
#include "platform/HttpDownloadFile.h"
#include "platform/HttpIdleConnections.h"
#include "platform/HttpRedirect.h"

#include <QFile>
#include <QSslError>

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A body that goes to no file (an error page, an upload's reply) is kept up to this; anything
// beyond is counted, not kept.
constexpr qsizetype kMaxKeptBodyBytes = 1 << 20;
// libcurl hands a body over a TLS record (16 KiB) at a time; the file gets blocks of this size.
constexpr qsizetype kBlockBytes = 256 << 10;
// Blocks handed to a tap that are watched for reuse: 16 MB, room for a reader that waits for a
// run of 8 MB before it reads (GrowingFile), so that its blocks come back rather than new ones
// being allocated, and faulted in page by page, for every block.
constexpr std::size_t kHandedBlocks = 64;
// What libcurl reads from the socket and from an upload's file in one go.
constexpr long kReceiveBufferBytes = 512 << 10;
constexpr long kSendBufferBytes = 1 << 20;

bool isSuccess(int status) { return status >= 200 && status <= 299; }

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }
} // namespace

HttpFileTransfer::HttpFileTransfer(Direction direction, Order order, std::shared_ptr<Progress> progress, Promise promise)
    : direction_(direction)
    , order_(std::move(order))
    , progress_(std::move(progress))
    , promise_(std::move(promise))
    , url_(order_.request.url())
{
}

std::unique_ptr<HttpFileTransfer> HttpFileTransfer::download(Order order, std::shared_ptr<Progress> progress, Promise promise)
{
    order.verb = "GET";
    return std::unique_ptr<HttpFileTransfer>(
        new HttpFileTransfer(Direction::Down, std::move(order), std::move(progress), std::move(promise)));
}

std::unique_ptr<HttpFileTransfer> HttpFileTransfer::upload(Order order, std::shared_ptr<Progress> progress, Promise promise)
{
    order.byteLimit = -1;
    return std::unique_ptr<HttpFileTransfer>(
        new HttpFileTransfer(Direction::Up, std::move(order), std::move(progress), std::move(promise)));
}

HttpFileTransfer::~HttpFileTransfer()
{
    // Waits for a stop callback running on another thread, so nothing wakes the worker after this.
    stopCallback_.reset();
    if (handle_)
        curl_easy_cleanup(handle_);
    curl_slist_free_all(headerList_);
    if (source_ >= 0)
        ::close(source_);
}

bool HttpFileTransfer::begin(CURLM* multi, HttpTrustStore& trust)
{
    const QString& path = order_.path;
    if (direction_ == Direction::Down) {
        file_ = std::make_unique<HttpDownloadFile>(path, order_.durability);
        if (!file_->open()) {
            const QString problem = QStringLiteral("cannot be written (%1)").arg(file_->errorString());
            const bool outOfSpace = file_->isOutOfSpace();
            settle([&]() -> HttpResponse { throw FileError(path, problem, outOfSpace); });
            return false;
        }
        block_.reserve(kBlockBytes);
    } else {
        source_ = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        struct stat facts {};
        if (source_ < 0 || ::fstat(source_, &facts) != 0 || S_ISDIR(facts.st_mode)) {
            const QString problem = QStringLiteral("cannot be read (%1)").arg(S_ISDIR(facts.st_mode) ? QStringLiteral("Is a directory") : systemError());
            settle([&]() -> HttpResponse { throw FileError(path, problem); });
            return false;
        }
        sourceSize_ = facts.st_size;
    }
    handle_ = curl_easy_init();
    const HttpTrustStore::Trust trusted = trust.trustFor(order_.caFile);
    certificates_ = std::make_unique<HttpCertificateCheck>(trusted.store);
    // As Qt does, a CA file without a certificate adds nothing rather than failing every transfer.
    if (!trusted.caFileUsed)
        order_.caFile.clear();
    configure();
    lastActivity_ = Clock::now();
    // The stop may be requested on any thread; the loop that ends the transfer runs on the worker.
    stopCallback_.emplace(order_.stop, [this, multi] {
        stopRequested_ = true;
        curl_multi_wakeup(multi);
    });
    return true;
}

void HttpFileTransfer::configure()
{
    CURL* handle = handle_;
    curl_easy_setopt(handle, CURLOPT_PRIVATE, this);
    curl_easy_setopt(handle, CURLOPT_URL, url_.toEncoded().constData());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText_.data());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    // As Qt's transfers: HTTP/1.1, no proxy from the environment, compressed replies unpacked.
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(handle, CURLOPT_PROXY, "");
    curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    curl_easy_setopt(handle, CURLOPT_USERAGENT, "Mozilla/5.0");

    // The program's trust is the store HttpCertificateCheck gives each TLS context, built once
    // (HttpTrustStore), and nothing of libcurl's own defaults. The CA file is named here only so
    // that libcurl keeps connections made under different files apart; libcurl reads it once
    // into a store of its own (its CA cache), which the shared one then replaces. Peer and
    // host are always verified.
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    const QByteArray caFile = QFile::encodeName(order_.caFile);
    curl_easy_setopt(handle, CURLOPT_CAINFO, caFile.isEmpty() ? nullptr : caFile.constData());
    curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, &HttpCertificateCheck::prepareContext);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, certificates_.get());

    // Only the request's own headers, as Qt sends them: none of libcurl's "Accept: */*", and no
    // wait for "100 Continue" before a body.
    if (!order_.request.hasRawHeader("Accept"))
        headerList_ = curl_slist_append(headerList_, "Accept:");
    headerList_ = curl_slist_append(headerList_, "Expect:");
    for (const QByteArray& name : order_.request.rawHeaderList())
        headerList_ = curl_slist_append(headerList_, QByteArray(name + ": " + order_.request.rawHeader(name)).constData());
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headerList_);

    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &HttpFileTransfer::onHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &HttpFileTransfer::onBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    if (direction_ == Direction::Up) {
        curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
        if (order_.verb != "PUT")
            curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, order_.verb.constData());
        curl_easy_setopt(handle, CURLOPT_READFUNCTION, &HttpFileTransfer::onRead);
        curl_easy_setopt(handle, CURLOPT_READDATA, this);
        curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, curl_off_t(sourceSize_));
        curl_easy_setopt(handle, CURLOPT_UPLOAD_BUFFERSIZE, kSendBufferBytes);
    }
}

size_t HttpFileTransfer::onHeader(char* data, size_t size, size_t count, void* self)
{
    return static_cast<HttpFileTransfer*>(self)->header(QByteArrayView(data, qsizetype(size * count)));
}

size_t HttpFileTransfer::onBody(char* data, size_t size, size_t count, void* self)
{
    return static_cast<HttpFileTransfer*>(self)->body(data, size * count);
}

size_t HttpFileTransfer::onRead(char* buffer, size_t size, size_t count, void* self)
{
    return static_cast<HttpFileTransfer*>(self)->read(buffer, size * count);
}

size_t HttpFileTransfer::header(QByteArrayView raw)
{
    lastActivity_ = Clock::now();
    const QByteArrayView line = raw.trimmed();
    if (line.startsWith("HTTP/")) {
        // A new reply begins (after "100 Continue", say): only the last one counts.
        const QList<QByteArray> parts = line.toByteArray().split(' ');
        status_ = parts.size() > 1 ? parts[1].toInt() : 0;
        headers_.clear();
        headersDone_ = false;
    } else if (line.isEmpty()) {
        // The end of an interim reply's headers, of the reply's own, or of the trailers.
        if (status_ >= 200 && !headersDone_)
            headersComplete();
        headersDone_ = true;
    } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
        headers_.append({line.first(colon).trimmed().toByteArray(), line.sliced(colon + 1).trimmed().toByteArray()});
    }
    return raw.size();
}

void HttpFileTransfer::headersComplete()
{
    // A reply that may have no body but came with one anyway would leave it in the connection
    // for the next request to read as its reply: the connection is not used again.
    if (status_ == 204 || status_ == 304)
        curl_easy_setopt(handle_, CURLOPT_FORBID_REUSE, 1L);
    bodyToFile_ = direction_ == Direction::Down && isSuccess(status_);
    if (!bodyToFile_)
        return;
    curl_off_t length = -1;
    curl_easy_getinfo(handle_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    total_ = length;
    count(0, total_);
    if (order_.tap)
        order_.tap->bodyStarted(file_->descriptor(), expectedFileSize());
}

qint64 HttpFileTransfer::expectedFileSize() const
{
    // An encoded body is unpacked into the file: its announced length is not the file's.
    for (const auto& [name, value] : headers_) {
        if (name.compare("Content-Encoding", Qt::CaseInsensitive) == 0 && value.compare("identity", Qt::CaseInsensitive) != 0)
            return -1;
    }
    if (total_ < 0)
        return -1;
    return order_.byteLimit >= 0 ? std::min(total_, order_.byteLimit) : total_;
}

size_t HttpFileTransfer::body(const char* data, size_t size)
{
    lastActivity_ = Clock::now();
    forbidReuseAfterOverrun();
    if (!bodyToFile_) {
        keepBody(data, size);
        return size;
    }
    size_t taken = size;
    if (order_.byteLimit >= 0)
        taken = size_t(std::min(qint64(size), order_.byteLimit - done_));
    // A piece that would not fit sends the block to the file first: the block's buffer never
    // grows (a copy of all it holds) after the first pieces.
    if (!block_.isEmpty() && block_.size() + qsizetype(taken) > block_.capacity() && !flush())
        return CURL_WRITEFUNC_ERROR;
    block_.append(data, qsizetype(taken));
    done_ += qint64(taken);
    if (block_.size() >= kBlockBytes && !flush())
        return CURL_WRITEFUNC_ERROR;
    count(done_, total_);
    if (order_.byteLimit >= 0 && done_ >= order_.byteLimit) {
        // All that was asked for is here: the transfer ends on purpose.
        limitReached_ = true;
        return CURL_WRITEFUNC_ERROR;
    }
    return size;
}

void HttpFileTransfer::forbidReuseAfterOverrun()
{
    // Once the body announced is all here, whatever else the connection holds answers no
    // request: the next one on it would read those bytes as its own reply.
    curl_off_t length = -1;
    curl_off_t received = 0;
    if (curl_easy_getinfo(handle_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK || length < 0
        || curl_easy_getinfo(handle_, CURLINFO_SIZE_DOWNLOAD_T, &received) != CURLE_OK || received < length)
        return;
    if (HttpIdleConnections::holdsUnreadBytes(handle_))
        curl_easy_setopt(handle_, CURLOPT_FORBID_REUSE, 1L);
}

void HttpFileTransfer::keepBody(const char* data, size_t size)
{
    body_.append(data, std::min(qsizetype(size), kMaxKeptBodyBytes - body_.size()));
}

bool HttpFileTransfer::flush()
{
    if (block_.isEmpty())
        return true;
    if (!file_->write(block_.constData(), block_.size())) {
        fileFault_ = QStringLiteral("cannot be written (%1)").arg(file_->errorString());
        return false;
    }
    if (!order_.tap) {
        block_.resize(0); // keeps its buffer, where clear() would free it
        return true;
    }
    order_.tap->bodyWritten(block_);
    block_ = nextBlock();
    return true;
}

QByteArray HttpFileTransfer::nextBlock()
{
    // The tap holds each block until its reader has passed it, which is mostly soon: the oldest
    // block handed over is taken again once the tap let go of it, so a long body costs neither
    // an allocation nor fresh pages per block.
    handed_.push_back(std::move(block_));
    QByteArray next;
    if (handed_.front().isDetached()) {
        // The reader's last use of the bytes comes before our writes to them.
        std::atomic_thread_fence(std::memory_order_acquire);
        next = std::move(handed_.front());
        handed_.pop_front();
        next.resize(0);
    } else if (handed_.size() > kHandedBlocks) {
        handed_.pop_front(); // the tap frees it once it is done
    }
    if (next.capacity() < kBlockBytes)
        next.reserve(kBlockBytes);
    return next;
}

size_t HttpFileTransfer::read(char* buffer, size_t size)
{
    lastActivity_ = Clock::now();
    for (;;) {
        const ssize_t read = ::read(source_, buffer, size);
        if (read >= 0) {
            done_ += read;
            count(done_, sourceSize_);
            return size_t(read);
        }
        if (errno != EINTR) {
            fileFault_ = QStringLiteral("cannot be read (%1)").arg(systemError());
            return CURL_READFUNC_ABORT;
        }
    }
}

void HttpFileTransfer::count(qint64 done, qint64 total)
{
    progress_->total = total;
    progress_->done = done;
    ++progress_->updates;
}

bool HttpFileTransfer::ended(int result)
{
    if (result == CURLE_OK && followRedirect())
        return true;
    settle([&] { return outcome(result); });
    return false;
}

bool HttpFileTransfer::followRedirect()
{
    if (redirects_ >= order_.request.maximumRedirectsAllowed())
        return false;
    const char* location = nullptr;
    if (curl_easy_getinfo(handle_, CURLINFO_REDIRECT_URL, &location) != CURLE_OK || !location)
        return false;
    const auto next = HttpRedirect::target(order_.request, url_, status_, location);
    if (!next)
        return false;
    ++redirects_;
    url_ = *next;
    curl_easy_setopt(handle_, CURLOPT_URL, url_.toEncoded().constData());
    if (direction_ == Direction::Up && HttpRedirect::method(status_, order_.verb) != order_.verb) {
        curl_easy_setopt(handle_, CURLOPT_UPLOAD, 0L);
        curl_easy_setopt(handle_, CURLOPT_CUSTOMREQUEST, nullptr);
        curl_easy_setopt(handle_, CURLOPT_HTTPGET, 1L);
    }
    startOver();
    return true;
}

void HttpFileTransfer::startOver()
{
    status_ = 0;
    headers_.clear();
    headersDone_ = false;
    bodyToFile_ = false;
    body_.clear();
    total_ = -1;
    done_ = 0;
    if (source_ >= 0)
        ::lseek(source_, 0, SEEK_SET);
}

std::optional<HttpError::Kind> HttpFileTransfer::interruption(Clock::time_point now) const
{
    if (stopRequested_)
        return HttpError::Kind::Cancelled;
    if (const auto end = deadline(); end && now >= *end)
        return HttpError::Kind::TimedOut;
    return std::nullopt;
}

std::optional<HttpFileTransfer::Clock::time_point> HttpFileTransfer::deadline() const
{
    if (order_.timeoutMs <= 0)
        return std::nullopt;
    return lastActivity_ + std::chrono::milliseconds(order_.timeoutMs);
}

void HttpFileTransfer::abandon(HttpError::Kind reason)
{
    settle([reason]() -> HttpResponse {
        if (reason == HttpError::Kind::TimedOut)
            throw HttpError(reason, QNetworkReply::OperationCanceledError, QStringLiteral("The request timed out."));
        throw HttpError(reason, QNetworkReply::OperationCanceledError, QStringLiteral("The request was cancelled."));
    });
}

HttpResponse HttpFileTransfer::outcome(int result)
{
    if (!fileFault_.isEmpty())
        throw FileError(order_.path, fileFault_, file_ && file_->isOutOfSpace());
    // Ended on purpose once the limit was there: the reply as it stood, with the bytes asked for.
    if (result != CURLE_OK && !limitReached_)
        throw failure(result);
    if (bodyToFile_ && !flush())
        throw FileError(order_.path, fileFault_, file_->isOutOfSpace());
    HttpResponse response{status_, headers_, body_, url_};
    if (bodyToFile_ && !file_->commit())
        throw FileError(order_.path, QStringLiteral("cannot be saved (%1)").arg(file_->errorString()), file_->isOutOfSpace());
    return response;
}

HttpError HttpFileTransfer::failure(int result) const
{
    using Kind = HttpError::Kind;
    // The words Qt's transfers use for the same failures.
    switch (result) {
    case CURLE_OPERATION_TIMEDOUT:
        return HttpError(Kind::TimedOut, QNetworkReply::TimeoutError, QStringLiteral("The request timed out."));
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS: {
        QStringList faults = certificates_->faults();
        if (faults.isEmpty()) {
            // libcurl checks the host name itself, after a chain OpenSSL found sound.
            faults << (result == CURLE_PEER_FAILED_VERIFICATION ? QSslError(QSslError::HostNameMismatch).errorString()
                                                                : QString::fromUtf8(errorText_.data()));
        }
        return HttpError(Kind::Tls, QNetworkReply::SslHandshakeFailedError,
            QStringLiteral("The secure connection could not be established: ") + faults.join(QStringLiteral("; ")));
    }
    case CURLE_BAD_CONTENT_ENCODING:
        return HttpError(Kind::Transport, QNetworkReply::UnknownContentError,
            QStringLiteral("The reply's body could not be decompressed."));
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
        if (status_ <= 0)
            return HttpError(Kind::Transport, QNetworkReply::NoError, QStringLiteral("The server's reply is not an HTTP reply."));
        break;
    default:
        break;
    }
    QNetworkReply::NetworkError code = QNetworkReply::UnknownNetworkError;
    QString text = QString::fromUtf8(errorText_.data());
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
        code = QNetworkReply::HostNotFoundError;
        text = QStringLiteral("Host %1 not found").arg(url_.host());
        break;
    case CURLE_COULDNT_CONNECT:
        code = QNetworkReply::ConnectionRefusedError;
        text = QStringLiteral("Connection refused");
        break;
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        code = QNetworkReply::RemoteHostClosedError;
        text = QStringLiteral("Connection closed");
        break;
    default:
        if (text.isEmpty())
            text = QString::fromUtf8(curl_easy_strerror(CURLcode(result)));
        break;
    }
    if (status_ > 0)
        text = QStringLiteral("The connection closed before the whole reply arrived: ") + text;
    return HttpError(Kind::Transport, code, text);
}

void HttpFileTransfer::settle(const std::function<HttpResponse()>& outcome)
{
    if (settled_)
        return;
    settled_ = true;
    std::optional<HttpResponse> response;
    std::exception_ptr failure;
    try {
        response = outcome();
    } catch (...) {
        failure = std::current_exception();
    }
    if (order_.tap)
        order_.tap->transferEnded(response && bodyToFile_);
    // A caller that resumes finds no temporary file left behind.
    file_.reset();
    if (response)
        promise_->addResult(std::move(*response));
    else
        promise_->setException(failure);
    promise_->finish();
}
