#pragma once

#include <QString>
#include <QUrl>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

class QNetworkAccessManager;
class QObject;

namespace pictor {

// The network manager of one trust, with its pool of open connections, and the gate before it:
// at most kConnectionsPerHost requests are out to one host at once, as many as Qt opens, so Qt
// never queues a request of ours. A request therefore goes out when it is handed to Qt, and its
// clocks (the transfer's time-out, Qt's own idle time-out) start then, not while it waits behind
// others. Made and used on SessionManagers::home()'s thread; a place may be given back from any.
class SessionManager : public std::enable_shared_from_this<SessionManager> {
public:
    static constexpr int kConnectionsPerHost = 6;
    using Ticket = std::shared_ptr<void>;

    explicit SessionManager(QObject* home);
    ~SessionManager();
    SessionManager(const SessionManager&) = delete;
    SessionManager& operator=(const SessionManager&) = delete;

    QNetworkAccessManager* network() const { return network_; }
    // Runs `go` on the home thread once the URL's host has a free place: at once when it has one.
    // The ticket holds the place, or the wait, until it is dropped; dropping it before `go` ran
    // withdraws the wait.
    Ticket whenFree(const QUrl& url, std::function<void()> go);
    // The next request of a transfer that holds `held` (a place of this manager): it keeps that
    // place when it goes to the same host, and runs `go` at once. Otherwise the place is given back
    // and the request waits for one of its host ahead of every request that starts a transfer, so
    // that a transfer under way is never stalled behind transfers not yet begun.
    Ticket passOn(Ticket held, const QUrl& url, std::function<void()> go);
    // Closes every connection of the manager as soon as no request of it is out. Asked after a
    // request to a host that never answered: Qt keeps trying to connect to it, whatever became
    // of the request, for as long as the manager lives.
    void dropConnectionsWhenIdle();

private:
    struct Entry;
    static QString hostKey(const QUrl& url);
    Ticket wait(const QUrl& url, std::function<void()> go, bool ahead);
    void giveBack(const QString& host);
    // On the home thread, a turn after the last place was given back: the replies that held them
    // are deleted by then.
    void dropIfIdle();
    void postDropIfIdle();

    QObject* home_;
    QNetworkAccessManager* network_;
    std::mutex mutex_;
    struct Host {
        int out = 0;
        std::deque<std::weak_ptr<Entry>> waiting;
    };
    std::map<QString, Host> hosts_;
    bool dropConnections_ = false;
};

} // namespace pictor
