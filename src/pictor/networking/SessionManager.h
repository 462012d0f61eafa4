#pragma once

#include <QPointer>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;
class QObject;
class QTimer;

namespace pictor {

// The network managers of one trust, one for each host with its pool of open connections to that
// host, and the gate before them: at most kConnectionsPerHost requests are out to one host at
// once, as many as Qt opens, so Qt never queues a request of ours. A request therefore goes out
// when it is handed to Qt, and its clocks (the transfer's time-out, Qt's own idle time-out) start
// then, not while it waits behind others. A host's waiting requests go in the order their
// transfers first asked. A host's network is its own so that the connection attempts of a host
// that never accepts can be let go without closing another host's connections (each network runs
// a thread of Qt's, which the handful of hosts images come from affords). Made and used on
// SessionManagers::home()'s thread; a place may be given back from any.
class SessionManager : public std::enable_shared_from_this<SessionManager> {
public:
    static constexpr int kConnectionsPerHost = 6;
    using Ticket = std::shared_ptr<void>;
    // How long a request waits for a place while its host gives none back (0: as long as it
    // takes), and what it is told when that time has passed; it then never goes. A host that
    // keeps giving places back keeps its requests waiting, however long the queue.
    struct Patience {
        int ms; // {} gives 0 (a member initialiser would keep {} from being a default argument here)
        std::function<void()> exhausted;
    };

    explicit SessionManager(QObject* home);
    ~SessionManager();
    SessionManager(const SessionManager&) = delete;
    SessionManager& operator=(const SessionManager&) = delete;

    // Sends the request on its host's present network. `replaced` is told, later on the home
    // thread, when that network is replaced while the reply is still open.
    QNetworkReply* get(const QNetworkRequest& request, std::function<void(QNetworkReply*)> replaced);
    // The URL's host's present network, made when it has none.
    QNetworkAccessManager* network(const QUrl& url);
    // Runs `go` on the home thread once the URL's host has a free place: at once when it has one.
    // The first request of a transfer: it takes the next turn. The ticket holds the place, or the
    // wait, until it is dropped; dropping it before `go` ran withdraws the wait.
    Ticket whenFree(const QUrl& url, std::function<void()> go, Patience patience = {});
    // The next request of a transfer that holds `held` (none: its first): it keeps that place when
    // it goes to the same host, and runs `go` at once. Otherwise the place is given back and the
    // request waits in its transfer's turn, after the requests of transfers that asked earlier and
    // ahead of those that asked later.
    Ticket passOn(Ticket held, const QUrl& url, std::function<void()> go, Patience patience = {});
    // How long a request let go before Qt took it up is given to be taken up all the same (Qt's
    // HTTP stack stalls the host's other requests when a request is aborted before that).
    static constexpr int kTakeUpGraceMs = 1000;
    // A request let go before Qt took it up (withdrawn, or timed out) may be waiting for a
    // connection its host never makes: Qt keeps trying to make it, and has the host's next
    // requests on that network wait for that attempt. When no request of that network has been
    // taken up since the reply was handed over, `afterMs` from now, the host's later requests go
    // on a new network, the replies still open on the old one are told, and the old one goes, with
    // every connection it holds or is still opening, once none of its replies is left. A host that
    // takes requests up keeps its network; other hosts keep theirs whatever this one does.
    void letGoUnanswered(QNetworkReply* reply, int afterMs);

private:
    struct Network {
        // Deleted with home_'s children at the application's end, so held weakly.
        QPointer<QNetworkAccessManager> manager;
        // When a request on it was last taken up: sent, encrypted or answered.
        qint64 takenUpNs = 0;
        struct Open {
            QPointer<QNetworkReply> reply;
            qint64 handedOverNs = 0;
            // Told when the network is replaced while the reply is open.
            std::function<void(QNetworkReply*)> replaced;
        };
        std::vector<Open> replies;
    };
    struct Entry;
    struct Host {
        int out = 0;
        // By turn: the request of the transfer that asked first goes first.
        std::map<quint64, std::weak_ptr<Entry>> waiting;
        // When the host last gave a place back.
        qint64 progressNs = 0;
    };
    static QString hostKey(const QUrl& url);
    // The URL's host's present network, made when it has none.
    Network& present(const QUrl& url);
    void noteTakenUp(const QString& key, const QNetworkAccessManager* manager);
    void renewUnlessTakenUp(const QString& key, const QNetworkAccessManager* stale, qint64 sinceNs);
    Ticket wait(const QUrl& url, std::function<void()> go, Patience patience, quint64 turn);
    // An entry's end: its wait is withdrawn, or its place passes to the host's next request.
    void leave(const QString& key, quint64 turn, bool out);
    static std::shared_ptr<Entry> takeNext(Host& host);
    void armPatience(int ms);
    // Fails the waiting requests whose host gave no place back for their patience.
    void checkPatience();

    QObject* home_;
    // By host key; touched on the home thread only.
    std::map<QString, Network> networks_;
    QPointer<QTimer> patience_;
    std::mutex mutex_;
    std::map<QString, Host> hosts_;
    std::atomic<quint64> nextTurn_ = 0;
};

} // namespace pictor
