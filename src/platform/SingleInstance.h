#pragma once

#include "platform/ProfileLock.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QDeadlineTimer;
class QLocalServer;
class QLocalSocket;

// Keeps one running copy of the application per profile. Which launch is the running copy is
// decided by the profile's lock (ProfileLock), held for the process's whole life; only its holder
// listens, on a socket in a folder of this user's alone, and it writes that socket's name into the
// lock, so launches whose sessions differ (another runtime folder, none) still meet it. Every other
// launch hands the links it was given to the holder and counts them handed over only once the
// holder answers; a launch that cannot open the lock never runs beside a copy that may hold it. The
// running copy asks for its main window and passes each link on. GUI thread.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // How long a launch waits for the running copy's answer: one that is still starting has the
    // lock but does not listen yet, and one on a loaded machine answers late.
    static constexpr int kHandOverTimeoutMs = 10'000;

    // What became of a launch.
    enum class Claim {
        running,         // this process holds the lock and is the running copy
        handedOver,      // another copy runs and answered that it has this launch's links
        alreadyRunning,  // another copy runs; nothing was to be handed over
        notHandedOver,   // another copy runs, but did not answer for the links (the log says why)
        lockUnavailable, // the profile's lock cannot be opened or taken (the log says why)
        earlierVersionRuns, // a copy of an earlier version, which locked its runtime folder instead, runs
    };

    // `profileFolder`: the profile's own folder (its settings), which holds the lock.
    // `channelFolders`: where the running copy may listen, in order of preference; a folder is
    // used only when it is this user's alone, and the profile's folder is the last resort.
    explicit SingleInstance(QString profileFolder = defaultProfileFolder(),
        QStringList channelFolders = defaultChannelFolders(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // The folder of the profile's settings.
    static QString defaultProfileFolder();
    // The runtime folder, a folder of this user's own in the temporary folder, then one in the
    // user's caches; made when first listened in.
    static QStringList defaultChannelFolders();

    // Takes the lock and listens, or hands `links` to the copy that holds it (nothing to hand
    // over: only finds out that another copy runs) and waits for its answer. Blocks for at most
    // `timeoutMs`: it runs once, before the event loop. A copy that quits meanwhile leaves the
    // lock to this one.
    Claim claim(const std::optional<QStringList>& links, int timeoutMs = kHandOverTimeoutMs);
    bool isListening() const;
    // Why the last claim found the profile's lock unavailable.
    QString lockFailure() const { return lock_.reason(); }
    // Where this copy listens; empty while it does not.
    QString serverName() const;

Q_SIGNALS:
    // Another launch asked for the application: show the main window and bring it forward.
    void activationRequested();
    // A link another launch was given, in the order it was given (after activationRequested).
    void linkReceived(const QString& link);

private:
    enum class Attempt { delivered, refused, unanswered };

    // A copy of an earlier version holds the lock it kept beside its socket, in one of the
    // channel folders ("quorvelle.lock"): it uses the same settings.
    bool earlierVersionRuns() const;
    void listen();
    Attempt handOver(const QString& serverName, const QStringList& links, const QDeadlineTimer& deadline) const;
    void accept();
    void receive(QLocalSocket* socket);
    void finish(QLocalSocket* socket);

    const QString profileFolder_;
    const QStringList channelFolders_;
    // Released after the socket is gone: whoever takes it next finds the name free.
    ProfileLock lock_;
    QLocalServer* server_ = nullptr;
    // The bytes each connected launch has sent so far, until its message is whole.
    QHash<QLocalSocket*, QByteArray> received_;
};
