#pragma once

#include "TestImages.h"
#include "support/TestHttpsServer.h"

#include "pictor/networking/ImageDownloader.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>

#include <httplib.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <thread>

// A loopback TLS image server that can delay, cut, fail and redirect, counting the requests of
// every path; and downloaders that trust its certificate.
class ImageServer {
public:
    ImageServer()
    {
        auto& routes = server_.routes();
        // Enough workers for every connection Qt opens, with handlers that hang among them.
        routes.new_task_queue = [] { return new httplib::ThreadPool(32); };
        // Counted as each request arrives: a logger runs once the answer is sent, which may be
        // after the client read it.
        routes.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
            std::lock_guard lock(mutex_);
            ++hits_[request.path];
            connections_.insert(request.remote_port);
            return httplib::Server::HandlerResponse::Unhandled;
        });
        routes.Get("/image.png", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(png().toStdString(), "image/png");
        });
        // Sleeps a while first, so that callers can join the transfer.
        routes.Get("/slow.png", [this](const httplib::Request&, httplib::Response& response) {
            server_.waitForShutdown(400);
            response.set_content(png().toStdString(), "image/png");
        });
        routes.Get(R"(/status/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
            response.status = std::stoi(request.matches[1]);
            response.set_content("no image here", "text/plain");
        });
        routes.Get("/page.html", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><body>Not an image</body></html>", "text/html");
        });
        routes.Get("/loop", [](const httplib::Request&, httplib::Response& response) { response.set_redirect("/loop", 301); });
        routes.Get("/to-file", [](const httplib::Request&, httplib::Response& response) { response.set_redirect("file:///dev/zero", 302); });
        routes.Get("/moved", [](const httplib::Request&, httplib::Response& response) { response.set_redirect("/image.png", 302); });
        // Redirects N times, through /hops/N-1 down to /hops/0, which serves the image. The hops
        // cycle through every redirecting status, each bodyless.
        routes.Get(R"(/hops/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
            static constexpr int kStatuses[] = {301, 302, 303, 307, 308};
            const int left = std::stoi(request.matches[1]);
            if (left > 0)
                response.set_redirect("/hops/" + std::to_string(left - 1), kStatuses[left % 5]);
            else
                response.set_content(png().toStdString(), "image/png");
        });
        // Redirects N times like /hops/N, then serves the image only to a request with an X-Pass header.
        routes.Get(R"(/pass/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
            const int left = std::stoi(request.matches[1]);
            if (left > 0)
                response.set_redirect("/pass/" + std::to_string(left - 1), 302);
            else if (request.has_header("X-Pass"))
                response.set_content(png().toStdString(), "image/png");
            else
                response.status = 403;
        });
        // Answers late, so that callers can join the transfer before its redirection.
        routes.Get("/slowly-moved", [this](const httplib::Request&, httplib::Response& response) {
            server_.waitForShutdown(300);
            response.set_redirect("/image.png", 302);
        });
        // Announces more than it sends, then closes the connection.
        routes.Get("/cut.png", [](const httplib::Request&, httplib::Response& response) {
            const std::string head = png().left(100).toStdString();
            response.set_content_provider(png().size(), "image/png", [head](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset == 0)
                    sink.write(head.data(), head.size());
                return offset == 0;
            });
        });
        routes.Get("/huge.png", [](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(size_t(5) << 30, "image/png", [](size_t, size_t, httplib::DataSink& sink) {
                static const std::string block(64 * 1024, 'x');
                return sink.write(block.data(), block.size());
            });
        });
        routes.Get("/silent.png", [this](const httplib::Request&, httplib::Response& response) {
            server_.waitForShutdown(5000);
            response.set_content(png().toStdString(), "image/png");
        });
        routes.Get("/movie.mp4", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(movieBytes().toStdString(), "video/mp4");
        });
        server_.start();
    }

    QUrl url(const QString& path) const { return server_.url(path); }
    int hits(const std::string& path)
    {
        std::lock_guard lock(mutex_);
        return hits_[path];
    }
    // The requests of every path that starts with the prefix.
    int hitsUnder(const std::string& prefix)
    {
        std::lock_guard lock(mutex_);
        int sum = 0;
        for (const auto& [path, count] : hits_)
            sum += path.starts_with(prefix) ? count : 0;
        return sum;
    }
    // The connections that carried a request, told apart by their client ports.
    int connections()
    {
        std::lock_guard lock(mutex_);
        return int(connections_.size());
    }
    httplib::Server& routes() { return server_.routes(); }
    // For a handler that must hang: true once the server shuts down, false after `ms`.
    bool waitForShutdown(int ms) { return server_.waitForShutdown(ms); }

    static QByteArray png() { return testimages::encoded(testimages::quadrants(QSize(32, 24)), "png"); }
    static QByteArray movieBytes() { return QByteArray("\x00\x00\x00\x18" "ftypmp42 not really a movie", 31); }

    static QSslConfiguration trusting()
    {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.addCaCertificates(QSslCertificate::fromPath(TestHttpsServer::certificateFile()));
        return configuration;
    }
    static std::shared_ptr<pictor::ImageDownloader> downloader(bool trust = true)
    {
        auto made = pictor::ImageDownloader::create(QStringLiteral("test"));
        if (trust)
            made->setSessionConfiguration(trusting());
        return made;
    }

private:
    std::mutex mutex_;
    std::map<std::string, int> hits_;
    std::set<int> connections_;
    // Last, so it stops before what its handlers use goes away.
    TestHttpsServer server_;
};
