#include "platform/SingleInstance.h"

#include "foundation/Log.h"

#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {
const QString kType = QStringLiteral("SingleInstance");
// Marks a hand-over message, so a stray connection's bytes are never taken for links.
constexpr quint32 kMagic = 0x51564c31; // "QVL1"
constexpr int kProbeTimeoutMs = 500;
// A hand-over is a few links; anything larger is not one.
constexpr qint64 kMaxMessageBytes = 1 << 20;

QByteArray encoded(const QStringList& links)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << kMagic << links;
    return bytes;
}

std::optional<QStringList> decoded(const QByteArray& bytes)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    quint32 count = 0;
    in >> magic >> count;
    // The stream's own list reading reserves room for the count it reads before a single link
    // arrives; every link takes at least its 4-byte length, so a count beyond that is a lie.
    if (in.status() != QDataStream::Ok || magic != kMagic || qint64(count) > (bytes.size() - in.device()->pos()) / 4)
        return std::nullopt;
    QStringList links;
    links.reserve(count);
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QString link;
        in >> link;
        links.append(link);
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    return links;
}
} // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), serverName_(std::move(serverName))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName()
{
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QStringLiteral("quorvelle") : runtime + QStringLiteral("/quorvelle.socket");
}

bool SingleInstance::isListening() const { return server_ && server_->isListening(); }

bool SingleInstance::listen()
{
    if (isListening())
        return true;
    QLocalSocket probe;
    probe.connectToServer(serverName_);
    if (probe.waitForConnected(kProbeTimeoutMs)) {
        probe.disconnectFromServer();
        return false;
    }
    // Nobody answers: whatever is at the name was left by a copy that did not shut down.
    QLocalServer::removeServer(serverName_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(serverName_)) {
        logLine(QStringLiteral("⚠️"), kType,
            QStringLiteral("Cannot listen on ") + serverName_ + QStringLiteral(": ") + server_->errorString());
        return true;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
    return true;
}

bool SingleInstance::handOver(const QStringList& links, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(encoded(links));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    socket.disconnectFromServer();
    return socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(timeoutMs);
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        received_.insert(socket, {});
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QByteArray& bytes = received_[socket];
            bytes += socket->readAll();
            if (bytes.size() > kMaxMessageBytes) {
                logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Ignored a message that is not a hand-over"));
                received_.remove(socket);
                socket->abort();
                socket->deleteLater();
            }
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { finish(socket); });
        // A client that wrote and left before we looked has already disconnected.
        if (socket->state() != QLocalSocket::ConnectedState)
            QMetaObject::invokeMethod(this, [this, socket] { finish(socket); }, Qt::QueuedConnection);
    }
}

void SingleInstance::finish(QLocalSocket* socket)
{
    const auto entry = received_.find(socket);
    if (entry == received_.end())
        return;
    const QByteArray bytes = *entry + socket->read(kMaxMessageBytes + 1 - entry->size());
    received_.erase(entry);
    socket->deleteLater();
    // An empty connection is another launch probing whether we run.
    if (bytes.isEmpty())
        return;
    const std::optional<QStringList> links = bytes.size() > kMaxMessageBytes ? std::nullopt : decoded(bytes);
    if (!links) {
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Ignored a message that is not a hand-over"));
        return;
    }
    Q_EMIT activationRequested();
    for (const QString& link : *links)
        Q_EMIT linkReceived(link);
}
