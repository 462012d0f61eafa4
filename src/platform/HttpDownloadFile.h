#pragma once

#include <QString>

// The file a download is written into, on Http's worker thread: an unnamed file in the
// destination's folder (a named "<destination>.XXXXXX.part" where the file system has no unnamed
// files), given the destination's name by commit() in one rename. A crash leaves nothing behind
// and an object dropped without a commit removes what it wrote, so the destination holds either
// its old content or the whole new one. No sync to disk: what lands here is a copy of a file on
// a server, every caller checks it before use, and syncing 100s of MB costs more than the
// transfer.
class HttpDownloadFile {
public:
    explicit HttpDownloadFile(QString destination);
    ~HttpDownloadFile();
    HttpDownloadFile(const HttpDownloadFile&) = delete;
    HttpDownloadFile& operator=(const HttpDownloadFile&) = delete;

    bool open();
    // The open file, readable as well as writable; -1 before open() and after commit().
    int descriptor() const { return fd_; }
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
    int fd_ = -1;
    // Empty while the file has no name.
    QString named_;
    QString error_;
    bool outOfSpace_ = false;
};
