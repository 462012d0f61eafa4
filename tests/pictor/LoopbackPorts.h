#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QUrl>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <thread>
#include <vector>

// TCP ports on 127.0.0.1 that misbehave below HTTP, for the image downloader's tests.
namespace loopback {

inline sockaddr_in address(quint16 port)
{
    sockaddr_in made{};
    made.sin_family = AF_INET;
    made.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    made.sin_port = htons(port);
    return made;
}

// A listening socket on a free port, with the given accept queue.
inline int listenOnFreePort(int backlog, quint16* port)
{
    sockaddr_in bound = address(0);
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::bind(listener, reinterpret_cast<sockaddr*>(&bound), sizeof bound);
    ::listen(listener, backlog);
    socklen_t length = sizeof bound;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &length);
    *port = ntohs(bound.sin_port);
    return listener;
}

// Sockets of this machine connecting to the port on 127.0.0.1 (SYN_SENT), from /proc/net/tcp.
inline int connectingTo(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray remote = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    int count = 0;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        count += fields.size() > 3 && fields[2].endsWith(remote) && fields[3] == "02";
    }
    return count;
}

// A port that takes no connection: its one place in the accept queue is taken, so the kernel
// drops every later SYN and a client stays in SYN_SENT.
class NeverAccepting {
public:
    NeverAccepting() : listener_(listenOnFreePort(0, &port_)), filler_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        const sockaddr_in target = address(port_);
        ::connect(filler_, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    }
    ~NeverAccepting()
    {
        ::close(filler_);
        ::close(listener_);
    }
    NeverAccepting(const NeverAccepting&) = delete;
    NeverAccepting& operator=(const NeverAccepting&) = delete;

    QUrl url(int i) const { return QUrl(QStringLiteral("https://127.0.0.1:%1/%2.png").arg(port_).arg(i)); }
    // Sockets of this machine still connecting to the port.
    int connecting() const { return connectingTo(port_); }

private:
    quint16 port_ = 0;
    int listener_;
    int filler_;
};

// Forwards each connection to a port on 127.0.0.1, passing nothing for the first holdMs: a new
// connection's set-up through it takes that long. A closed one takes no connection at all, like
// NeverAccepting, until it is opened.
class SlowOpeningProxy {
public:
    enum class Door { open, closed };

    SlowOpeningProxy(quint16 target, int holdMs, Door door = Door::open)
        : target_(target), holdMs_(holdMs), listener_(listenOnFreePort(door == Door::open ? 16 : 0, &port_))
    {
        if (::pipe2(stop_, O_CLOEXEC) != 0 || ::pipe2(opened_, O_CLOEXEC) != 0)
            stop_[0] = stop_[1] = -1;
        if (door == Door::closed) {
            filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_in self = address(port_);
            ::connect(filler_, reinterpret_cast<const sockaddr*>(&self), sizeof self);
        } else {
            open();
        }
        accepting_ = std::thread([this] { accept(); });
    }
    ~SlowOpeningProxy()
    {
        ::close(stop_[1]); // every thread polls the other end
        accepting_.join();
        std::lock_guard lock(mutex_);
        for (std::thread& each : forwarding_)
            each.join();
        for (const int fd : {stop_[0], opened_[0], opened_[1], filler_, listener_})
            ::close(fd);
    }
    SlowOpeningProxy(const SlowOpeningProxy&) = delete;
    SlowOpeningProxy& operator=(const SlowOpeningProxy&) = delete;

    QUrl url(const QString& path) const { return QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(port_).arg(path)); }
    // Sockets of this machine still connecting to the proxy.
    int connecting() const { return connectingTo(port_); }
    // Takes connections from now on, the waiting ones first.
    void open() { [[maybe_unused]] const ssize_t written = ::write(opened_[1], "o", 1); }

private:
    // Until the socket (if any) is readable or the time has passed; false once the proxy stops.
    bool waitFor(int fd, int ms) const
    {
        pollfd fds[2] = {{stop_[0], POLLIN, 0}, {fd, POLLIN, 0}};
        ::poll(fds, fd < 0 ? 1 : 2, ms);
        return fds[0].revents == 0;
    }
    void accept()
    {
        if (!waitFor(opened_[0], -1))
            return;
        while (waitFor(listener_, -1)) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            std::lock_guard lock(mutex_);
            forwarding_.emplace_back([this, client] { forward(client); });
        }
    }
    void forward(int client)
    {
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in target = address(target_);
        if (waitFor(-1, holdMs_) && ::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
            char buffer[16384];
            for (;;) {
                pollfd fds[3] = {{client, POLLIN, 0}, {server, POLLIN, 0}, {stop_[0], POLLIN, 0}};
                if (::poll(fds, 3, -1) < 0 || fds[2].revents)
                    break;
                const int from = fds[0].revents ? client : server;
                const ssize_t read = ::read(from, buffer, sizeof buffer);
                if (read <= 0 || ::write(from == client ? server : client, buffer, size_t(read)) != read)
                    break;
            }
        }
        ::close(server);
        ::close(client);
    }

    quint16 target_;
    int holdMs_;
    quint16 port_ = 0;
    int listener_;
    int stop_[2] = {-1, -1};
    int opened_[2] = {-1, -1};
    int filler_ = -1;
    std::thread accepting_;
    std::mutex mutex_;
    std::vector<std::thread> forwarding_;
};

} // namespace loopback
