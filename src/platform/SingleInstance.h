#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QLocalServer;
class QLocalSocket;

// Keeps one running copy of the application per user. Which launch is the running copy is
// decided by a lock the kernel keeps on a file beside the socket, held for the process's whole
// life and let go when it ends, however it ends; only its holder listens on the socket, so a
// live copy's socket is never taken away. Every other launch hands the links it was given to the
// holder and exits, or says why it could not. The running copy then asks for its main window and
// passes each link on. GUI thread.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // How long a launch keeps trying to reach the running copy: one that is still starting has
    // the lock but does not listen yet, and one on a loaded machine answers late.
    static constexpr int kHandOverTimeoutMs = 10'000;

    // What became of a launch.
    enum class Claim {
        running,        // this process holds the lock and is the running copy
        handedOver,     // another copy runs and has this launch's links
        alreadyRunning, // another copy runs; nothing was to be handed over
        notHandedOver,  // another copy runs, but the links could not reach it (the log says why)
    };

    // `serverName`: an absolute socket path in a folder only this user enters (tests use a
    // temporary folder); the lock file sits beside it. Empty: this copy runs alone.
    explicit SingleInstance(QString serverName = defaultServerName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket in a folder only this user can enter (the runtime folder, or one made for it);
    // empty when there is none, and this copy then runs alone.
    static QString defaultServerName();

    // Takes the lock and listens, or hands `links` to the copy that holds it (nothing to hand
    // over: only finds out that another copy runs). Blocks for at most `timeoutMs`: it runs
    // once, before the event loop. A copy that quits meanwhile leaves the lock to this one.
    Claim claim(const std::optional<QStringList>& links, int timeoutMs = kHandOverTimeoutMs);
    bool isListening() const;

Q_SIGNALS:
    // Another launch asked for the application: show the main window and bring it forward.
    void activationRequested();
    // A link another launch was given, in the order it was given (after activationRequested).
    void linkReceived(const QString& link);

private:
    enum class Lock { taken, heldElsewhere, unavailable };
    enum class Attempt { delivered, refused, unanswered };

    Lock tryLock();
    void listen();
    Attempt handOver(const QStringList& links, int timeoutMs) const;
    void accept();
    void finish(QLocalSocket* socket);

    const QString serverName_;
    // The lock file's descriptor while this process holds the lock.
    int lockDescriptor_ = -1;
    QLocalServer* server_ = nullptr;
    // The bytes each connected launch has sent so far; read when it disconnects.
    QHash<QLocalSocket*, QByteArray> received_;
};
