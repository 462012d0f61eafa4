#include "platform/SwayIpc.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QtEndian>

#include <cstring>

#include <sys/socket.h>

namespace {
constexpr int kAnswerMs = 1000;
constexpr char kMagic[] = "i3-ipc";
constexpr qsizetype kMagicSize = sizeof(kMagic) - 1;
constexpr qsizetype kHeaderSize = kMagicSize + 2 * sizeof(quint32);
// Longer answers (a tree of many windows) are never asked for here.
constexpr quint32 kLongestAnswer = 1 << 20;

bool readExactly(QLocalSocket& socket, char* into, qsizetype count)
{
    qsizetype read = 0;
    while (read < count) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(kAnswerMs))
            return false;
        const qint64 got = socket.read(into + read, count - read);
        if (got < 0)
            return false;
        read += got;
    }
    return true;
}

// sway makes its socket $XDG_RUNTIME_DIR/sway-ipc.UID.PID.sock (in /tmp without that folder),
// with its own runtime folder, user and process: those of the compositor's end of the connection.
QString compositorSocket(int waylandFd)
{
    ucred peer{};
    socklen_t size = sizeof(peer);
    if (waylandFd < 0 || ::getsockopt(waylandFd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.pid <= 0)
        return {};
    QStringList folders;
    QFile environment(QStringLiteral("/proc/%1/environ").arg(peer.pid));
    if (environment.open(QIODevice::ReadOnly)) {
        for (const QByteArray& entry : environment.readAll().split('\0')) {
            if (entry.startsWith("XDG_RUNTIME_DIR="))
                folders << QString::fromLocal8Bit(entry.mid(int(sizeof("XDG_RUNTIME_DIR=")) - 1));
        }
    }
    folders << QStringLiteral("/tmp");
    const QString name = QStringLiteral("sway-ipc.%1.%2.sock").arg(peer.uid).arg(peer.pid);
    for (const QString& folder : folders) {
        const QFileInfo socket(folder + QLatin1Char('/') + name);
        if (socket.exists() && !socket.isFile() && !socket.isDir())
            return socket.filePath();
    }
    return {};
}
} // namespace

SwayIpc::SwayIpc(QString socketPath) : socketPath_(std::move(socketPath)) {}

SwayIpc SwayIpc::ofSession(int waylandFd)
{
    const QString named = qEnvironmentVariable("SWAYSOCK");
    return SwayIpc(named.isEmpty() ? compositorSocket(waylandFd) : named);
}

std::optional<QByteArray> SwayIpc::request(Type type, const QByteArray& payload) const
{
    if (socketPath_.isEmpty())
        return std::nullopt;
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(kAnswerMs))
        return std::nullopt;
    QByteArray message(kMagic, kMagicSize);
    // The numbers go in the machine's own byte order, as sway reads them.
    const quint32 header[2] = {quint32(payload.size()), quint32(type)};
    message.append(reinterpret_cast<const char*>(header), sizeof(header));
    message.append(payload);
    socket.write(message);
    if (!socket.waitForBytesWritten(kAnswerMs))
        return std::nullopt;
    char answerHeader[kHeaderSize];
    if (!readExactly(socket, answerHeader, kHeaderSize) || std::memcmp(answerHeader, kMagic, kMagicSize) != 0)
        return std::nullopt;
    quint32 length = 0;
    std::memcpy(&length, answerHeader + kMagicSize, sizeof(length));
    if (length > kLongestAnswer)
        return std::nullopt;
    QByteArray answer(qsizetype(length), Qt::Uninitialized);
    if (!readExactly(socket, answer.data(), answer.size()))
        return std::nullopt;
    return answer;
}

std::optional<int> SwayIpc::version() const
{
    const std::optional<QByteArray> answer = request(Type::getVersion, {});
    if (!answer)
        return std::nullopt;
    const QJsonObject version = QJsonDocument::fromJson(*answer).object();
    if (!version.value(QStringLiteral("major")).isDouble() || !version.value(QStringLiteral("minor")).isDouble())
        return std::nullopt;
    return version.value(QStringLiteral("major")).toInt() * 100 + version.value(QStringLiteral("minor")).toInt();
}

bool SwayIpc::runCommand(const QString& command) const
{
    const std::optional<QByteArray> answer = request(Type::runCommand, command.toUtf8());
    if (!answer)
        return false;
    // One result per command of the line, each with its own success.
    const QJsonArray results = QJsonDocument::fromJson(*answer).array();
    return !results.isEmpty() && std::all_of(results.cbegin(), results.cend(), [](const QJsonValue& result) {
        return result.toObject().value(QStringLiteral("success")).toBool();
    });
}
