#pragma once

#include <QString>
#include <QTemporaryDir>

#include <sys/resource.h>

// A folder whose file system can be filled to its last block. Where the process may mount (the
// superuser, as CI runs), it is a small tmpfs, mounted in the test process's own mount namespace
// (keepMountsPrivate), so every thread of the test sees it and nothing outside the test does.
// Elsewhere a limit on the size of the files the process writes (RLIMIT_FSIZE, its signal
// ignored) stands in, so that writes fail as they would on a full disk.
class FullFileSystem {
public:
    // `megabytes`: the tmpfs's size, when one can be mounted.
    explicit FullFileSystem(int megabytes = 2);
    ~FullFileSystem();
    FullFileSystem(const FullFileSystem&) = delete;
    FullFileSystem& operator=(const FullFileSystem&) = delete;

    // Gives the test process a mount namespace of its own, private from the root down. Called
    // first in main(), before any thread: the threads made later share it, so a thread a test
    // starts sees the test's tmpfs, and none is ever kept from its namespace.
    static void keepMountsPrivate();

    QString path() const { return dir_.path(); }
    // True on a real tmpfs, false with the file-size limit standing in.
    bool isTmpfs() const { return mounted_; }

    // From now on no write finds room, or only `leftBytes` (on a tmpfs).
    void fill(qint64 leftBytes = 0);
    // Room again.
    void free();
    // More room: the tmpfs grows to `megabytes`, its files as they are (a tmpfs only).
    bool grow(int megabytes);

private:
    static inline bool privateMounts_ = false;
    QTemporaryDir dir_;
    bool mounted_ = false;
    rlimit limit_{};
    bool limited_ = false;
};
