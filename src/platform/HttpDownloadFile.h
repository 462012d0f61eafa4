#pragma once

#include "platform/DownloadDurability.h"

#include <QString>

// The file a download is written into, on Http's worker thread: an unnamed file in the
// destination's folder (a named "<destination>.XXXXXX.part" where the file system has no unnamed
// files), given the destination's name by commit() in one rename. A crash leaves nothing behind
// and an object dropped without a commit removes what it wrote, so the destination holds either
// its old content or the whole new one. Synced to disk before the rename only when `durability`
// asks for it: a disk wait per cached poster or preview buys nothing a new download would not.
class HttpDownloadFile {
public:
    HttpDownloadFile(QString destination, DownloadDurability durability);
    ~HttpDownloadFile();
    HttpDownloadFile(const HttpDownloadFile&) = delete;
    HttpDownloadFile& operator=(const HttpDownloadFile&) = delete;

    bool open();
    // The open file, readable as well as writable; -1 before open() and after commit().
    int descriptor() const { return fd_; }
    // A synced file's bytes start for the disk as they are written, so that commit() waits
    // only for the last of them rather than for the whole file.
    bool write(const char* data, qint64 size);
    // Closes the file and gives it the destination's name.
    bool commit();
    QString errorString() const { return error_; }
    // The last failure found no room on the file system.
    bool isOutOfSpace() const { return outOfSpace_; }

private:
    bool fail();
    // A name beside the destination for the named fallback and for linking the unnamed file.
    QString stagingName() const;

    QString destination_;
    DownloadDurability durability_;
    int fd_ = -1;
    // Synced files: bytes written, and those the disk was already asked to take.
    qint64 written_ = 0;
    qint64 sentToDisk_ = 0;
    // Empty while the file has no name.
    QString named_;
    QString error_;
    bool outOfSpace_ = false;
};
