#pragma once

#include <QString>
#include <QUrl>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class Server;
class SSLServer;
} // namespace httplib

// A real TLS server on 127.0.0.1 for one test, with the committed test certificate (trusted
// when a Config override names certificateFile() as its CA file). Register handlers on
// routes() (include <httplib.h>), then start(); the destructor stops it and joins its threads.
class TestHttpsServer {
public:
    explicit TestHttpsServer(const QString& certificate = certificateFile(), const QString& key = keyFile());
    ~TestHttpsServer();
    TestHttpsServer(const TestHttpsServer&) = delete;
    TestHttpsServer& operator=(const TestHttpsServer&) = delete;

    httplib::Server& routes();
    // Listens on a free port and returns once requests are answered.
    void start();
    // "https://127.0.0.1:<port>" + path.
    QUrl url(const QString& path) const;

    // For a handler that must hang: blocks until the server shuts down (true) or `ms` pass.
    bool waitForShutdown(int ms);

    static QString certificateFile();
    static QString keyFile();

private:
    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::condition_variable shutdown_;
    bool stopping_ = false;
};
