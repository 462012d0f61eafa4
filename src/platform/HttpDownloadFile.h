#pragma once

#include <QString>
#include <QTemporaryFile>

// The file a download is written into, on Http's worker thread: a staging file in the
// destination's folder (unnamed where the file system allows, so a crash leaves nothing),
// renamed over the destination by commit(). Dropped without a commit, it removes the staging
// file, so the destination holds either its old content or the whole new one.
class HttpDownloadFile {
public:
    explicit HttpDownloadFile(const QString& destination);

    bool open();
    bool write(const char* data, qint64 size);
    // Closes the staging file and renames it over the destination.
    bool commit();
    QString errorString() const { return error_; }

private:
    QString destination_;
    QTemporaryFile staging_;
    QString error_;
};
