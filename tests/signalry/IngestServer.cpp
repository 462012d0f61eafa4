#include "IngestServer.h"

#include "support/TestPaths.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <httplib.h>

IngestServer::IngestServer()
    : server_(std::make_unique<httplib::SSLServer>(
          QFile::encodeName(TestPaths::dataFile(QStringLiteral("sample-catalogue-cert.pem"))).constData(),
          QFile::encodeName(TestPaths::dataFile(QStringLiteral("sample-catalogue-key.pem"))).constData()))
{
    server_->Post(R"(/v2/.*)", [this](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(mutex_);
        int status = 200;
        if (!statuses_.empty()) {
            status = statuses_.front();
            statuses_.pop_front();
        }
        requests_.append({QString::fromStdString(request.path), QString::fromStdString(request.get_header_value("Content-Type")),
                          QByteArray::fromStdString(request.body), status});
        response.status = status;
        response.set_content("{}", "application/json");
    });
    server_->set_tcp_nodelay(true);
    port_ = server_->bind_to_any_port("127.0.0.1");
    // The socket already listens; connections wait in its backlog until this loop accepts them.
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

IngestServer::~IngestServer()
{
    server_->stop();
    thread_.join();
}

QUrl IngestServer::baseUrl() const { return QUrl(QStringLiteral("https://127.0.0.1:%1/").arg(port_)); }

QString IngestServer::certificateFile() { return TestPaths::dataFile(QStringLiteral("sample-catalogue-cert.pem")); }

void IngestServer::queueStatuses(const QList<int>& statuses)
{
    std::lock_guard lock(mutex_);
    statuses_.insert(statuses_.end(), statuses.begin(), statuses.end());
}

QList<IngestServer::Request> IngestServer::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

QList<QJsonObject> IngestServer::acceptedSignals() const
{
    QList<QJsonObject> signalList;
    for (const Request& request : requests()) {
        if (request.status < 200 || request.status > 299)
            continue;
        for (const QJsonValue& value : QJsonDocument::fromJson(request.body).array())
            signalList.append(value.toObject());
    }
    return signalList;
}

bool IngestServer::waitForRequests(int count) const
{
    return QTest::qWaitFor([&] { return requests().size() >= count; }, 30'000);
}
