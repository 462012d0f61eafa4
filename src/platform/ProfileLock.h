#pragma once

#include <QString>

#include <optional>

// The lock that lets one copy of the application run per profile: a file in the profile's own
// folder that the kernel locks for its holder and lets go when the holder ends, however it ends.
// Every launch of the profile meets the same file whatever its session says (runtime folder,
// temporary folder), and the holder writes into it where it listens, so a launch finds the
// running copy through the profile alone. Owned by SingleInstance; GUI thread.
class ProfileLock {
public:
    enum class State {
        taken,         // this process holds the lock
        heldElsewhere, // another process holds it
        unavailable,   // it cannot be opened or locked (reason() says why)
    };

    // `folder`: the profile's folder; made (this user's alone) when missing.
    explicit ProfileLock(QString folder);
    ~ProfileLock();
    ProfileLock(const ProfileLock&) = delete;
    ProfileLock& operator=(const ProfileLock&) = delete;

    QString path() const;
    bool isTaken() const { return descriptor_ >= 0; }

    // Takes the lock when it is free, without waiting; a lock whose holder died is free. Taking
    // it clears what an earlier holder recorded.
    State tryTake();
    // Lets the lock go (this process no longer runs as the profile's copy).
    void release();
    // Why the last tryTake() found the lock unavailable.
    QString reason() const { return reason_; }

    // The holder records where it listens; an empty name says it takes no hand-overs.
    bool recordChannel(const QString& serverName);
    // What the holder recorded; nothing while it has not recorded it yet (it is still starting).
    std::optional<QString> recordedChannel() const;

private:
    const QString folder_;
    // The lock file's descriptor while this process holds the lock.
    int descriptor_ = -1;
    QString reason_;
};
