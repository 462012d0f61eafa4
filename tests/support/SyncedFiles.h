#pragma once

#include <QString>

// Which files the process synced to disk while this lives: the test executable that uses it
// stands in for the C library's fdatasync() and fsync(), notes the file (device and inode) and
// syncs it as the library would. A file keeps its inode through a rename, so a download synced under a
// temporary name or none counts for the name it takes. One at a time; any thread.
class SyncedFiles {
public:
    SyncedFiles();
    ~SyncedFiles();
    SyncedFiles(const SyncedFiles&) = delete;
    SyncedFiles& operator=(const SyncedFiles&) = delete;

    // Whether the file now at `path` was synced since this began.
    bool contains(const QString& path) const;
};
