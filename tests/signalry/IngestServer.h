#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUrl>

#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class SSLServer;
}

// A loopback TLS stand-in for the analytics ingest service: accepts POSTs under "/v2/", records
// each request and answers 200, or the statuses a test queued.
class IngestServer {
public:
    struct Request {
        QString path;
        QString contentType;
        QByteArray body;
        int status = 0;
    };

    IngestServer();
    ~IngestServer();

    QUrl baseUrl() const;
    static QString certificateFile();
    // The next requests are answered with these statuses, in order; later ones with 200.
    void queueStatuses(const QList<int>& statuses);
    QList<Request> requests() const;
    // The records of every request answered with a 2xx status, in arrival order.
    QList<QJsonObject> acceptedSignals() const;
    // Processes events until `count` requests arrived; false after a generous time-out.
    bool waitForRequests(int count) const;

private:
    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
    int port_ = -1;
    mutable std::mutex mutex_;
    std::deque<int> statuses_;
    QList<Request> requests_;
};
