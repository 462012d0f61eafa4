#include "platform/SingleInstance.h"

#include "foundation/Log.h"
#include "foundation/Paths.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Whether the process at the other end of a connected socket runs as this user.
bool peerIsThisUser(const QLocalSocket& socket)
{
    ucred peer = {};
    socklen_t size = sizeof peer;
    const qintptr descriptor = socket.socketDescriptor();
    return descriptor >= 0 && ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0
        && peer.uid == ::geteuid();
}

// Makes `path` when missing (0700) and tells whether it is this user's folder alone: a link,
// another user's folder or one that others may enter is never used.
bool claimPrivateFolder(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    ::mkdir(name.constData(), 0700);
    struct stat info = {};
    return ::lstat(name.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid()
        && (info.st_mode & 077) == 0;
}
} // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), serverName_(std::move(serverName))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName()
{
    // A bare name would land in the shared temporary folder, where another user can listen
    // first and take this user's launches; so the socket sits in a folder only this user can
    // enter. Without a runtime folder (su shells, minimal sessions) the temporary folder gets one
    // of its own, and when someone else holds that name, the user's cache folder does.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && claimPrivateFolder(runtime))
        return runtime + QStringLiteral("/quorvelle.socket");
    const QString temporary = QDir::tempPath() + QStringLiteral("/quorvelle-") + QString::number(::geteuid());
    if (claimPrivateFolder(temporary))
        return temporary + QStringLiteral("/quorvelle.socket");
    const QString cache = Paths::appCaches() + QStringLiteral("/run");
    if (Paths::makeFolder(Paths::appCaches()) && claimPrivateFolder(cache))
        return cache + QStringLiteral("/quorvelle.socket");
    logLine(QStringLiteral("⚠️"), kType, QStringLiteral("No private folder for the launch socket; this copy runs alone"));
    return {};
}

bool SingleInstance::isListening() const { return server_ && server_->isListening(); }

bool SingleInstance::listen()
{
    if (isListening() || serverName_.isEmpty())
        return true;
    QLocalSocket probe;
    probe.connectToServer(serverName_);
    if (probe.waitForConnected(kProbeTimeoutMs)) {
        const bool ours = peerIsThisUser(probe);
        probe.disconnectFromServer();
        if (ours)
            return false;
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Another user listens on ") + serverName_ + QStringLiteral("; taking the name back"));
    }
    // Nobody of ours answers: whatever is at the name was left by a copy that did not shut down.
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
    // The links may be private (a partner's wallpaper): they go to this user's copy only.
    if (!peerIsThisUser(socket)) {
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Did not hand the launch to another user's socket at ") + serverName_);
        return false;
    }
    socket.write(encoded(links));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    socket.disconnectFromServer();
    return socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(timeoutMs);
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        if (!peerIsThisUser(*socket)) {
            logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Refused a launch of another user"));
            socket->abort();
            socket->deleteLater();
            continue;
        }
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
