#include "platform/SingleInstance.h"

#include "foundation/Log.h"
#include "foundation/Paths.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString kType = QStringLiteral("SingleInstance");
// Marks a hand-over message, so a stray connection's bytes are never taken for links.
constexpr quint32 kMagic = 0x51564c31; // "QVL1"
// One try at reaching the running copy, and the pause before the next.
constexpr int kAttemptTimeoutMs = 500;
constexpr int kRetryPauseMs = 20;
// Room for a burst of launches that arrive while the running copy is busy: a full queue makes
// a launch wait and try again rather than fail.
constexpr int kBacklog = 256;
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

// The lock file beside the socket: "quorvelle.lock" for "quorvelle.socket".
QString lockPathFor(const QString& serverName)
{
    const QFileInfo socket(serverName);
    return socket.path() + u'/' + socket.completeBaseName() + QStringLiteral(".lock");
}

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

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

SingleInstance::~SingleInstance()
{
    // The socket goes before the lock: whoever takes the lock next finds the name free. Launches
    // still sending go unheard: nothing is told of them while this object goes.
    for (QLocalSocket* socket : received_.keys())
        socket->disconnect(this);
    if (server_)
        server_->close();
    if (lockDescriptor_ >= 0)
        ::close(lockDescriptor_);
}

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

SingleInstance::Claim SingleInstance::claim(const std::optional<QStringList>& links, int timeoutMs)
{
    if (serverName_.isEmpty() || lockDescriptor_ >= 0)
        return Claim::running;
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        switch (tryLock()) {
        case Lock::taken:
            listen();
            return Claim::running;
        case Lock::unavailable:
            return Claim::running;
        case Lock::heldElsewhere:
            break;
        }
        if (!links)
            return Claim::alreadyRunning;
        const int attemptMs = int(std::clamp<qint64>(deadline.remainingTime(), 1, kAttemptTimeoutMs));
        switch (handOver(*links, attemptMs)) {
        case Attempt::delivered:
            return Claim::handedOver;
        case Attempt::refused:
            return Claim::notHandedOver;
        case Attempt::unanswered:
            break;
        }
        // The holder is still starting, busy, or quitting (then the lock is free next time).
        if (deadline.hasExpired()) {
            logLine(QStringLiteral("⚠️"), kType,
                QStringLiteral("The running copy did not answer within %1 s; this launch's links were not handed over")
                    .arg(timeoutMs / 1000.0));
            return Claim::notHandedOver;
        }
        QThread::msleep(kRetryPauseMs);
    }
}

SingleInstance::Lock SingleInstance::tryLock()
{
    const QString path = lockPathFor(serverName_);
    // A link planted at the name is not followed; the descriptor stays out of the programs we start.
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        logLine(QStringLiteral("⚠️"), kType,
            QStringLiteral("Cannot open the lock ") + path + QStringLiteral(": ") + systemError(errno) + QStringLiteral("; this copy runs alone"));
        return Lock::unavailable;
    }
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
        lockDescriptor_ = descriptor;
        return Lock::taken;
    }
    const int error = errno;
    ::close(descriptor);
    if (error == EWOULDBLOCK)
        return Lock::heldElsewhere;
    logLine(QStringLiteral("⚠️"), kType,
        QStringLiteral("Cannot lock ") + path + QStringLiteral(": ") + systemError(error) + QStringLiteral("; this copy runs alone"));
    return Lock::unavailable;
}

void SingleInstance::listen()
{
    // Only the lock's holder gets here: whatever is at the name was left by a copy that ended
    // without removing it, or put there by someone else.
    QLocalServer::removeServer(serverName_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->setListenBacklogSize(kBacklog);
    if (!server_->listen(serverName_)) {
        logLine(QStringLiteral("⚠️"), kType,
            QStringLiteral("Cannot listen on ") + serverName_ + QStringLiteral(": ") + server_->errorString()
                + QStringLiteral("; later launches cannot hand their links over"));
        return;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::Attempt SingleInstance::handOver(const QStringList& links, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(timeoutMs))
        return Attempt::unanswered;
    // The links may be private (a partner's wallpaper): they go to this user's copy only.
    if (!peerIsThisUser(socket)) {
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Did not hand the launch to another user's socket at ") + serverName_);
        return Attempt::refused;
    }
    // Bytes the running copy did not take whole are no hand-over to it; sending them again is.
    socket.write(encoded(links));
    if (!socket.waitForBytesWritten(timeoutMs) && socket.bytesToWrite() > 0)
        return Attempt::unanswered;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return Attempt::delivered;
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
