#include "platform/SingleInstance.h"

#include "foundation/Log.h"
#include "foundation/Paths.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString kType = QStringLiteral("SingleInstance");
// Opens a hand-over message, so a stray connection's bytes are never taken for links.
constexpr quint32 kMagic = 0x51564c32; // "QVL2"
// What the running copy answers once it has passed a launch's links on.
constexpr char kAnswer = 'k';
// One try at reaching the running copy, and the pause before the next.
constexpr int kAttemptTimeoutMs = 500;
constexpr int kRetryPauseMs = 20;
// Room for a burst of launches that arrive while the running copy is busy: a full queue makes
// a launch wait and try again rather than fail.
constexpr int kBacklog = 256;
// A hand-over is a few links; anything larger is not one.
constexpr qint64 kMaxMessageBytes = 1 << 20;
// The magic and the length before the links.
constexpr qint64 kHeaderBytes = 8;

// The magic, the links' length, then the links.
QByteArray encoded(const QStringList& links)
{
    QByteArray payload;
    QDataStream list(&payload, QIODevice::WriteOnly);
    list.setVersion(QDataStream::Qt_6_4);
    list << links;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << kMagic << payload;
    return bytes;
}

// What the bytes a launch has sent so far hold.
struct Message {
    enum { incomplete, invalid, whole } state = incomplete;
    QStringList links;
};

std::optional<QStringList> decodedLinks(const QByteArray& payload)
{
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 count = 0;
    in >> count;
    // The stream's own list reading reserves room for the count it reads before a single link
    // arrives; every link takes at least its 4-byte length, so a count beyond that is a lie.
    if (in.status() != QDataStream::Ok || qint64(count) > (payload.size() - in.device()->pos()) / 4)
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

Message parsed(const QByteArray& bytes)
{
    if (bytes.size() < kHeaderBytes)
        return {};
    QDataStream in(bytes);
    quint32 magic = 0;
    quint32 length = 0;
    in >> magic >> length;
    if (magic != kMagic || length > kMaxMessageBytes || bytes.size() > kHeaderBytes + length)
        return {Message::invalid, {}};
    if (bytes.size() < kHeaderBytes + length)
        return {};
    std::optional<QStringList> links = decodedLinks(bytes.mid(kHeaderBytes));
    if (!links)
        return {Message::invalid, {}};
    return {Message::whole, *std::move(links)};
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
    if (!Paths::makeFolder(QFileInfo(path).path()))
        return false;
    const QByteArray name = QFile::encodeName(path);
    ::mkdir(name.constData(), 0700);
    struct stat info = {};
    return ::lstat(name.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid()
        && (info.st_mode & 077) == 0;
}

// The socket's name, the profile's own: copies of two profiles may share a runtime folder.
QString socketName(const QString& profileFolder)
{
    const QByteArray profile = QFile::encodeName(QFileInfo(profileFolder).canonicalFilePath());
    return QStringLiteral("quorvelle-")
        + QString::fromLatin1(QCryptographicHash::hash(profile, QCryptographicHash::Sha256).toHex().left(16))
        + QStringLiteral(".socket");
}

QString seconds(int milliseconds) { return QString::number(milliseconds / 1000.0); }

// True while the launch at the other end still waits for the answer. One that gave up has told
// its user that this copy did not answer, and has closed its end.
bool launchStillWaits(const QLocalSocket& socket)
{
    if (socket.state() != QLocalSocket::ConnectedState)
        return false;
    pollfd end{.fd = int(socket.socketDescriptor()), .events = POLLRDHUP, .revents = 0};
    return ::poll(&end, 1, 0) <= 0 || (end.revents & (POLLRDHUP | POLLHUP | POLLERR)) == 0;
}
} // namespace

SingleInstance::SingleInstance(QString profileFolder, QStringList channelFolders, QObject* parent)
    : QObject(parent), profileFolder_(std::move(profileFolder)), channelFolders_(std::move(channelFolders)), lock_(profileFolder_)
{
}

SingleInstance::~SingleInstance()
{
    // Launches still sending go unheard and unanswered: they try again and find the lock free.
    for (QLocalSocket* socket : received_.keys())
        socket->disconnect(this);
    if (server_)
        server_->close();
}

QString SingleInstance::defaultProfileFolder() { return Paths::appConfiguration(); }

QStringList SingleInstance::defaultChannelFolders()
{
    // A bare name would land in the shared temporary folder, where another user can listen
    // first and take this user's launches; so the socket sits in a folder only this user can
    // enter. Without a runtime folder (su shells, ssh) the temporary folder gets one of its own.
    return {Paths::runtime(), Paths::temporary() + QStringLiteral("/quorvelle-") + QString::number(::geteuid()),
        Paths::appCaches() + QStringLiteral("/run")};
}

bool SingleInstance::isListening() const { return server_ && server_->isListening(); }

QString SingleInstance::serverName() const { return isListening() ? server_->fullServerName() : QString(); }

SingleInstance::Claim SingleInstance::claim(const std::optional<QStringList>& links, int timeoutMs)
{
    if (lock_.isTaken())
        return Claim::running;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        switch (lock_.tryTake()) {
        case ProfileLock::State::taken:
            if (earlierVersionRuns()) {
                lock_.release();
                logLine(QStringLiteral("❌"), kType,
                    QStringLiteral("An earlier version of Quorvelle is still running with this profile; this launch ends rather than "
                                   "change its settings under it"));
                return Claim::earlierVersionRuns;
            }
            listen();
            return Claim::running;
        case ProfileLock::State::unavailable:
            logLine(QStringLiteral("❌"), kType,
                QStringLiteral("Cannot take this profile's lock: ") + lock_.reason()
                    + QStringLiteral("; this launch ends rather than run beside a copy that may hold it"));
            return Claim::lockUnavailable;
        case ProfileLock::State::heldElsewhere:
            break;
        }
        if (!links)
            return Claim::alreadyRunning;
        // Nothing recorded yet: the holder is still starting.
        if (const std::optional<QString> channel = lock_.recordedChannel()) {
            if (channel->isEmpty()) {
                logLine(QStringLiteral("⚠️"), kType,
                    QStringLiteral("The running copy takes no hand-overs (its log says why); this launch's links were not handed over"));
                return Claim::notHandedOver;
            }
            switch (handOver(*channel, *links, deadline)) {
            case Attempt::delivered:
                return Claim::handedOver;
            case Attempt::refused:
                return Claim::notHandedOver;
            case Attempt::unanswered:
                break;
            }
        }
        // The holder is still starting, busy, or quitting (then the lock is free next time).
        if (deadline.hasExpired()) {
            logLine(QStringLiteral("⚠️"), kType,
                QStringLiteral("The running copy did not answer within %1 s; this launch ends without knowing that it has its links")
                    .arg(seconds(timeoutMs)));
            return Claim::notHandedOver;
        }
        QThread::msleep(kRetryPauseMs);
    }
}

bool SingleInstance::earlierVersionRuns() const
{
    for (const QString& folder : channelFolders_) {
        const QByteArray path = QFile::encodeName(folder + QStringLiteral("/quorvelle.lock"));
        const int descriptor = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (descriptor < 0)
            continue;
        // Its holder keeps it locked for its whole life; a lock nobody holds is a leftover.
        const bool held = ::flock(descriptor, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(descriptor);
        if (held)
            return true;
    }
    return false;
}

void SingleInstance::listen()
{
    const QString name = socketName(profileFolder_);
    QStringList failures;
    for (const QString& folder : channelFolders_ + QStringList{profileFolder_}) {
        if (!claimPrivateFolder(folder)) {
            failures.append(folder + QStringLiteral(" is not a folder of this user's alone"));
            continue;
        }
        const QString serverName = folder + u'/' + name;
        // Only the lock's holder gets here, and the name is this profile's: whatever is at it was
        // left by a copy that ended without removing it, or put there by someone else.
        QLocalServer::removeServer(serverName);
        auto* server = new QLocalServer(this);
        server->setSocketOptions(QLocalServer::UserAccessOption);
        server->setListenBacklogSize(kBacklog);
        if (server->listen(serverName)) {
            server_ = server;
            break;
        }
        failures.append(serverName + QStringLiteral(": ") + server->errorString());
        delete server;
    }
    if (!server_) {
        lock_.recordChannel({});
        logLine(QStringLiteral("⚠️"), kType,
            QStringLiteral("Cannot listen for later launches (") + failures.join(QStringLiteral("; "))
                + QStringLiteral("); they cannot hand their links over"));
        return;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
    if (!lock_.recordChannel(server_->fullServerName()))
        logLine(QStringLiteral("⚠️"), kType,
            QStringLiteral("Cannot write into ") + lock_.path() + QStringLiteral(" where this copy listens; later launches cannot hand their links over"));
}

SingleInstance::Attempt SingleInstance::handOver(const QString& serverName, const QStringList& links, const QDeadlineTimer& deadline) const
{
    const QByteArray message = encoded(links);
    if (message.size() > kHeaderBytes + kMaxMessageBytes) {
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Too many links to hand over at once; none were handed over"));
        return Attempt::refused;
    }
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(int(std::clamp<qint64>(deadline.remainingTime(), 1, kAttemptTimeoutMs))))
        return Attempt::unanswered;
    // The links may be private (a partner's wallpaper): they go to this user's copy only.
    if (!peerIsThisUser(socket)) {
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Did not hand the launch to another user's socket at ") + serverName);
        return Attempt::refused;
    }
    // Bytes the running copy has not answered are no hand-over; a copy that closes without an
    // answer is quitting, and the next try finds the lock free or the next copy.
    socket.write(message);
    while (socket.bytesToWrite() > 0 && socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired())
        socket.waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 1)));
    while (socket.bytesAvailable() == 0 && socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired())
        socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)));
    return socket.read(1) == QByteArray(1, kAnswer) ? Attempt::delivered : Attempt::unanswered;
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
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { receive(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { finish(socket); });
        // A launch that wrote and left before we looked has already disconnected.
        if (socket->state() != QLocalSocket::ConnectedState)
            QMetaObject::invokeMethod(this, [this, socket] { finish(socket); }, Qt::QueuedConnection);
        else if (socket->bytesAvailable() > 0)
            QMetaObject::invokeMethod(this, [this, socket] { receive(socket); }, Qt::QueuedConnection);
    }
}

void SingleInstance::receive(QLocalSocket* socket)
{
    const auto entry = received_.find(socket);
    if (entry == received_.end())
        return;
    *entry += socket->read(kHeaderBytes + kMaxMessageBytes + 1 - entry->size());
    Message message = parsed(*entry);
    if (message.state == Message::incomplete)
        return;
    received_.erase(entry);
    if (message.state == Message::invalid) {
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Ignored a message that is not a hand-over"));
        socket->abort();
        socket->deleteLater();
        return;
    }
    // Opened now, the links would contradict what the launch told its user.
    if (!launchStillWaits(*socket)) {
        logLine(QStringLiteral("⚠️"), kType,
            QStringLiteral("A launch stopped waiting before its links were read; they were not opened, as it told its user"));
        return;
    }
    const QPointer<QLocalSocket> answered(socket);
    Q_EMIT activationRequested();
    for (const QString& link : std::as_const(message.links))
        Q_EMIT linkReceived(link);
    // The launch counts its links handed over only now. The answer goes out at once, not at a
    // later turn of the event loop: a link may have asked this copy to quit.
    if (answered) {
        socket->write(&kAnswer, 1);
        socket->flush();
        socket->disconnectFromServer();
    }
}

void SingleInstance::finish(QLocalSocket* socket)
{
    // Bytes that came with the close may complete a message.
    receive(socket);
    socket->deleteLater();
    const auto entry = received_.find(socket);
    if (entry == received_.end())
        return;
    const bool probe = entry->isEmpty();
    received_.erase(entry);
    // An empty connection is another launch probing whether we run.
    if (!probe)
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Ignored a message that is not a hand-over"));
}
