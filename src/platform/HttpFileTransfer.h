#pragma once

#include "platform/DownloadDurability.h"
#include "platform/HttpError.h"
#include "platform/HttpResponse.h"

#include <QNetworkRequest>
#include <QPromise>

#include <array>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

class HttpBodyTap;
class HttpCertificateCheck;
class HttpDownloadFile;
class HttpTrustStore;
struct curl_slist;
typedef void CURL;  // as libcurl declares them
typedef void CURLM;

// One transfer between a file and the network, run from start to end by libcurl on Http's worker
// thread (HttpWorker): the connection, the file and every write to it or read from it stay on
// that thread. The caller hears of the outcome through the promise (a response, or the
// HttpError or FileError that Http documents), and reads the progress counts when it likes.
class HttpFileTransfer {
public:
    using Clock = std::chrono::steady_clock;

    // What the transfer last counted: bytes done and expected (-1 when the server did not say);
    // `updates` changes after each new count.
    struct Progress {
        std::atomic<qint64> done{0};
        std::atomic<qint64> total{-1};
        std::atomic<int> updates{0};
    };
    using Promise = std::shared_ptr<QPromise<HttpResponse>>;

    struct Order {
        QNetworkRequest request;
        QByteArray verb = "GET";
        QString path;            // the file written (a download) or sent (an upload)
        QString caFile;          // trusted beside the system's authorities; empty for none
        std::stop_token stop;
        int timeoutMs = 0;       // the longest silence allowed; 0 or less waits forever
        qint64 byteLimit = -1;   // downloads: bytes of a 2xx body kept at most (-1: all)
        std::shared_ptr<HttpBodyTap> tap; // downloads: sees the body as it is written
        DownloadDurability durability = DownloadDurability::Cache; // downloads
    };

    // A GET streamed into `order.path`, as Http::download describes.
    static std::unique_ptr<HttpFileTransfer> download(Order order, std::shared_ptr<Progress> progress, Promise promise);
    // The file at `order.path` sent as the body of `order.verb`, read as the transfer goes.
    static std::unique_ptr<HttpFileTransfer> upload(Order order, std::shared_ptr<Progress> progress, Promise promise);

    ~HttpFileTransfer();
    HttpFileTransfer(const HttpFileTransfer&) = delete;
    HttpFileTransfer& operator=(const HttpFileTransfer&) = delete;

    // The rest runs on the worker thread. Opens the file and readies the handle, trusting what
    // `trust` holds for the order's CA file; false when the transfer already told its outcome
    // (the file could not be opened).
    bool begin(CURLM* multi, HttpTrustStore& trust);
    CURL* handle() const { return handle_; }
    // libcurl finished with `result`: tells the outcome and returns false, or returns true when
    // the handle was readied for the address the server redirected to.
    bool ended(int result);
    // Why the transfer must end now (a stop request, or silence past the time-out), if it must.
    std::optional<HttpError::Kind> interruption(Clock::time_point now) const;
    // When the silence runs out, if the transfer has a time-out.
    std::optional<Clock::time_point> deadline() const;
    // Tells the caller the transfer ended for `reason`, with nothing kept.
    void abandon(HttpError::Kind reason);

private:
    enum class Direction { Down, Up };

    HttpFileTransfer(Direction direction, Order order, std::shared_ptr<Progress> progress, Promise promise);

    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    static size_t onBody(char* data, size_t size, size_t count, void* self);
    static size_t onRead(char* buffer, size_t size, size_t count, void* self);

    void configure();
    size_t header(QByteArrayView line);
    size_t body(const char* data, size_t size);
    size_t read(char* buffer, size_t size);
    void headersComplete();
    void forbidReuseAfterOverrun();
    void keepBody(const char* data, size_t size);
    // The size the file will have once the announced body is all here, -1 when unknown.
    qint64 expectedFileSize() const;
    bool flush();
    // An empty buffer for the next block once `block_` went to the tap.
    QByteArray nextBlock();
    bool followRedirect();
    void startOver();
    void count(qint64 done, qint64 total);
    HttpResponse outcome(int result);
    HttpError failure(int result) const;
    // Tells the caller what `outcome` returns or throws, the file closed (and any temporary
    // one removed) first.
    void settle(const std::function<HttpResponse()>& outcome);

    Direction direction_;
    Order order_;
    std::shared_ptr<Progress> progress_;
    Promise promise_;
    CURL* handle_ = nullptr;
    curl_slist* headerList_ = nullptr;
    std::unique_ptr<HttpCertificateCheck> certificates_;
    std::array<char, 256> errorText_{}; // CURL_ERROR_SIZE
    std::atomic<bool> stopRequested_ = false;
    std::optional<std::stop_callback<std::function<void()>>> stopCallback_;
    Clock::time_point lastActivity_;
    bool settled_ = false;

    QUrl url_; // where the current request goes
    int redirects_ = 0;
    std::unique_ptr<HttpDownloadFile> file_; // downloads
    int source_ = -1;                        // uploads
    qint64 sourceSize_ = 0;

    // The reply to the current request.
    int status_ = 0;
    QList<std::pair<QByteArray, QByteArray>> headers_;
    bool headersDone_ = false;
    bool bodyToFile_ = false;
    QByteArray body_;        // a body that goes to no file, kept up to a limit
    QByteArray block_;       // file bytes gathered for one write
    std::deque<QByteArray> handed_; // blocks the tap may still hold, oldest first
    qint64 total_ = -1;
    qint64 done_ = 0;        // bytes of the file written or sent so far
    bool limitReached_ = false;
    QString fileFault_;      // why the file could not be written or read
};
