#include "platform/Http.h"
#include "platform/HttpError.h"
#include "support/TaskWait.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

// A plain HTTP server on the loopback that closes the connection of each of its first
// `closes` requests once it has read them whole, without a byte of answer, and answers the
// later ones; `cutAnswer` answers with a status and part of the body before it closes instead.
class ClosingServer {
public:
    explicit ClosingServer(int closes, bool cutAnswer = false) : closes_(closes), cutAnswer_(cutAnswer)
    {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
        });
    }

    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/search").arg(server_.serverPort())); }
    int requests() const { return requests_; }

private:
    void read(QTcpSocket* socket)
    {
        QByteArray& pending = pending_[socket];
        pending += socket->readAll();
        const qsizetype headerEnd = pending.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        qsizetype bodyBytes = 0;
        for (const QByteArray& line : pending.left(headerEnd).split('\n'))
            if (line.toLower().startsWith("content-length:"))
                bodyBytes = line.mid(15).trimmed().toLongLong();
        if (pending.size() < headerEnd + 4 + bodyBytes)
            return;
        pending.clear();
        if (++requests_ > closes_) {
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
            return;
        }
        if (cutAnswer_)
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nok");
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
    const int closes_;
    const bool cutAnswer_;
    int requests_ = 0;
};

// How many times Qt sends a request on its own when each connection closes unanswered.
int attemptsQtMakesAlone()
{
    ClosingServer server(1'000);
    QNetworkAccessManager manager;
    QNetworkRequest request(server.url());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    QNetworkReply* reply = manager.post(request, QByteArray("{}"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return reply->isFinished(); }, 30'000));
    EXPECT_EQ(reply->error(), QNetworkReply::RemoteHostClosedError);
    delete reply;
    return server.requests();
}

// A call whose connection the server closed before a byte of its answer (a kept-alive
// connection let go while the request was on its way) goes once more, on a fresh connection;
// a server that never answers costs two calls' attempts, not more, and an answer cut after
// its status is not asked for again.
TEST(HttpClosedConnectionTest, ACallClosedBeforeItsAnswerIsSentOnceMore)
{
    const int alone = attemptsQtMakesAlone();
    ASSERT_GE(alone, 1);
    struct Case {
        const char* name;
        QByteArray verb;
        int closes;
        bool cutAnswer;
        int leastRequests;
        int mostRequests;
        std::optional<QString> failure; // none: answered "ok"
    };
    const QString cut = QStringLiteral("The connection closed before the whole reply arrived: ");
    const Case cases[] = {
        {"a search closed as often as Qt tries", "POST", alone, false, alone + 1, alone + 1, std::nullopt},
        {"a read closed as often as Qt tries", "GET", alone, false, alone + 1, alone + 1, std::nullopt},
        // Qt's own tries on a connection are spent until it answers once.
        {"a server that never answers", "POST", 1'000, false, alone + 1, 2 * alone, QStringLiteral("Connection closed")},
        {"an answer cut after its status", "POST", 1'000, true, 1, 1, cut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClosingServer server(c.closes, c.cutAnswer);
        Http http;
        QNetworkRequest request(server.url());
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
        const QByteArray body = c.verb == "POST" ? QByteArray("{\"query\":\"sea\"}") : QByteArray();
        try {
            const HttpResponse response = waitForTask(http.send(request, c.verb, body));
            EXPECT_FALSE(c.failure) << "answered " << response.status;
            EXPECT_EQ(response.body, "ok");
        } catch (const HttpError& error) {
            ASSERT_TRUE(c.failure) << error.localizedDescription().toStdString();
            EXPECT_EQ(error.kind(), HttpError::Kind::Transport);
            EXPECT_TRUE(error.localizedDescription().startsWith(*c.failure)) << error.localizedDescription().toStdString();
        }
        EXPECT_GE(server.requests(), c.leastRequests);
        EXPECT_LE(server.requests(), c.mostRequests);
    }
}

} // namespace
