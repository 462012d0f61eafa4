#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// Keeps one running copy of the application per user. The first launch listens on a local
// socket; a later launch hands the links it was given to that one and exits. The running copy
// then asks for its main window and passes each link on. GUI thread.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    static constexpr int kHandOverTimeoutMs = 2'000;

    // `serverName`: a socket name, or an absolute socket path (tests use a temporary folder).
    explicit SingleInstance(QString serverName = defaultServerName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket in a folder only this user can enter (the runtime folder, or one made for it);
    // empty when there is none, and this copy then runs alone.
    static QString defaultServerName();

    // True when this process is the running copy and now listens; false when another copy of
    // this user answers on the socket (one of another user is never handed anything). A socket left behind by a copy that crashed is replaced. When
    // listening fails for another reason this process still runs alone (and says so in the log).
    bool listen();
    bool isListening() const;

    // Sends `links` (possibly none) to the running copy; true once they were delivered to its
    // socket. Blocks for at most `timeoutMs` at each step: it runs once, before the event loop.
    bool handOver(const QStringList& links, int timeoutMs = kHandOverTimeoutMs) const;

Q_SIGNALS:
    // Another launch asked for the application: show the main window and bring it forward.
    void activationRequested();
    // A link another launch was given, in the order it was given (after activationRequested).
    void linkReceived(const QString& link);

private:
    void accept();
    void finish(QLocalSocket* socket);

    const QString serverName_;
    QLocalServer* server_ = nullptr;
    // The bytes each connected launch has sent so far; read when it disconnects.
    QHash<QLocalSocket*, QByteArray> received_;
};
