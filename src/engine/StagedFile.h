#pragma once

#include "platform/DownloadDurability.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class QFile;

// A file that replaces `destination` only once it is complete: it is written or copied to
// "<destination>.part" in the same folder and renamed over the destination by commit(), which
// the file system does atomically. Until then the destination keeps its old content whatever
// happens; an uncommitted staging file is removed when the object goes. Every failure throws
// FileError. Usable on any thread, one thread at a time.
class StagedFile {
public:
    explicit StagedFile(QString destination);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    const QString& destination() const { return destination_; }
    // Where the new content goes before commit(), for writers that take a path.
    const QString& stagingPath() const { return staging_; }

    // Told the bytes copied so far and the source's size after each block; answering false
    // stops the copy.
    using CopyProgress = std::function<bool(qint64 copied, qint64 total)>;

    void write(const QByteArray& bytes);
    // Throws CancelledError when `progress` stops it, at the latest a MiB later; the staging
    // file is then gone, so nothing half-copied is left.
    void copyFrom(const QString& source, const CopyProgress& progress = {});
    // Flushes the staging file to disk; commit() does it too, this lets a worker thread do it.
    void sync() const;
    // Flushes the staging file to disk, unless it is a cache's (`durability`), and renames it over
    // the destination; the staging file must be complete.
    void commit(DownloadDurability durability = DownloadDurability::Synced);

    // Commits `files` (null entries skipped) in order as one change: when a commit fails, or
    // `afterEach` throws after one, the files already committed get their earlier content back
    // (or go, when they had none) and the failure is thrown. While it runs, each earlier content
    // is kept as "<destination>.previous.part".
    static void commitTogether(const QList<StagedFile*>& files,
        const std::function<void(const StagedFile&)>& afterEach = {});

private:
    void copyBlocks(QFile& input, QFile& output, const CopyProgress& progress);
    // Removes the staging file of a copy that failed or was stopped while `output` is open.
    void discardOpen(QFile& output);

    QString destination_;
    QString staging_;
    bool committed_ = false;
};
