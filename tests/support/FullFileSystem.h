#pragma once

#include <QString>
#include <QTemporaryDir>

#include <sys/resource.h>

// A folder whose file system can be filled to its last block. Where the process may mount (the
// superuser, as CI runs), it is a small tmpfs mounted in a mount namespace of the calling thread
// alone, so nothing outside the test ever sees it; the thread is back in its own namespace when
// this ends. Elsewhere a limit on the size of the files the process writes (RLIMIT_FSIZE, its
// signal ignored) stands in, so that writes fail as they would on a full disk. The tmpfs is seen
// by the calling thread alone: write into it from the test's (GUI) thread.
class FullFileSystem {
public:
    FullFileSystem();
    ~FullFileSystem();
    FullFileSystem(const FullFileSystem&) = delete;
    FullFileSystem& operator=(const FullFileSystem&) = delete;

    QString path() const { return dir_.path(); }
    // True on a real tmpfs, false with the file-size limit standing in.
    bool isTmpfs() const { return namespaceFd_ >= 0; }

    // From now on no write finds room.
    void fill();
    // Room again.
    void free();

private:
    QTemporaryDir dir_;
    // This thread's own mount namespace while it is in the test's.
    int namespaceFd_ = -1;
    rlimit limit_{};
    bool limited_ = false;
};
