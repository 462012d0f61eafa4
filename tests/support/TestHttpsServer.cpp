#include "support/TestHttpsServer.h"

#include "TestPaths.h"

#include <httplib.h>

#include <stdexcept>

TestHttpsServer::TestHttpsServer(const QString& certificate, const QString& key)
    : server_(std::make_unique<httplib::SSLServer>(certificate.toLocal8Bit().constData(), key.toLocal8Bit().constData()))
{
    if (!server_->is_valid())
        throw std::runtime_error("The test TLS server could not load its certificate");
    // Qt keeps connections alive; a short idle limit keeps shutdown quick.
    server_->set_keep_alive_timeout(1);
    // The client reads as fast as its GUI thread takes a reply, which on a loaded machine can stand
    // still past the 5 s the server would otherwise wait to write: a reply was cut before the
    // client reached its size limit.
    server_->set_write_timeout(20);
}

TestHttpsServer::~TestHttpsServer()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    shutdown_.notify_all();
    server_->stop();
    if (thread_.joinable())
        thread_.join();
}

httplib::Server& TestHttpsServer::routes() { return *server_; }

void TestHttpsServer::start()
{
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        throw std::runtime_error("The test TLS server could not bind to 127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running())
        std::this_thread::yield();
}

QUrl TestHttpsServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(port_).arg(path));
}

bool TestHttpsServer::waitForShutdown(int ms)
{
    std::unique_lock lock(mutex_);
    return shutdown_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

QString TestHttpsServer::certificateFile() { return TestPaths::dataFile(QStringLiteral("sample-catalogue-cert.pem")); }

QString TestHttpsServer::keyFile() { return TestPaths::dataFile(QStringLiteral("sample-catalogue-key.pem")); }
