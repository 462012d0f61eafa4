#pragma once

#include "platform/HttpResponse.h"

#include <QNetworkRequest>
#include <QObject>
#include <QPromise>

#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>

class HttpDownloadFile;
class HttpTransfer;
class QNetworkAccessManager;

// One transfer between a file and the network, run from start to end on Http's worker thread
// (HttpWorker): the reply, the file and every write to it or read from it stay on that thread.
// The caller hears of the outcome through the promise (a response, or the HttpError or
// FileError that Http documents), and reads the progress counts when it likes. Deletes itself
// once it has told.
class HttpFileTransfer : public QObject {
    Q_OBJECT
public:
    // What the transfer last counted: bytes done and expected (-1 when the server did not say);
    // `updates` changes after each new count.
    struct Progress {
        std::atomic<qint64> done{0};
        std::atomic<qint64> total{-1};
        std::atomic<int> updates{0};
    };
    using Promise = std::shared_ptr<QPromise<HttpResponse>>;

    // Both run on the worker thread. A GET streamed into `path`, as Http::download describes.
    static void download(QNetworkAccessManager& manager, const QNetworkRequest& request, const QString& path,
        std::stop_token stop, int timeoutMs, qint64 byteLimit, std::shared_ptr<Progress> progress, Promise promise);
    // The file at `path` sent as the body of `verb`, read as the transfer goes.
    static void upload(QNetworkAccessManager& manager, const QNetworkRequest& request, const QByteArray& verb,
        const QString& path, std::stop_token stop, int timeoutMs, std::shared_ptr<Progress> progress, Promise promise);

    ~HttpFileTransfer() override;

private:
    HttpFileTransfer(std::shared_ptr<Progress> progress, Promise promise);
    void count(qint64 done, qint64 total);
    // Reads what the reply holds in blocks of kBlockBytes, and with `everything` the rest too.
    void drain(bool everything);
    void keep(qint64 size);
    HttpResponse downloaded();
    // Tells the caller what `outcome` returns or throws, the file closed (and any temporary
    // one removed) first.
    void settle(const std::function<HttpResponse()>& outcome);

    std::shared_ptr<Progress> progress_;
    Promise promise_;
    std::unique_ptr<HttpTransfer> transfer_;
    std::unique_ptr<HttpDownloadFile> file_;
    QString path_;
    // One block read from the reply and written to the file, reused for the next.
    QByteArray block_;
    QByteArray errorBody_;
    qint64 received_ = 0;
    // Bytes of a 2xx body kept at most (-1: all); the transfer ends once they are there.
    qint64 byteLimit_ = -1;
    qint64 kept_ = 0;
    bool limitReached_ = false;
    bool writeFailed_ = false;
};
