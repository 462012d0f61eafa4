#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The append-only log beside a settings file: each change is one record, written and synced
// before the change counts as saved, so a change to a long value costs a few hundred bytes on
// disk instead of a rewrite of the whole file. A record is its length and CRC-32 (both 32-bit,
// little-endian) and then its bytes, so a record cut short by a crash is told from a whole one.
// Not thread-safe: its owner's thread only.
class SettingsJournal {
public:
    struct Contents {
        QList<QByteArray> records;
        // Where the whole records end; the file's size unless its tail was torn.
        qint64 wholeBytes = 0;
        bool torn = false;
    };

    explicit SettingsJournal(QString path);
    ~SettingsJournal();
    SettingsJournal(const SettingsJournal&) = delete;
    SettingsJournal& operator=(const SettingsJournal&) = delete;

    const QString& path() const { return path_; }
    // Bytes in the file, as far as this journal knows (read or appended).
    qint64 size() const { return size_; }

    // The whole records in order; a missing file has none. Throws nothing: the system's reason
    // in `error` when the file exists but cannot be read.
    Contents read(QString* error);
    // Cuts a torn tail off, so the next record follows the last whole one.
    bool truncate(qint64 size, QString* error);
    enum class Sync { Now, Later };
    // Appends one record and, unless asked to leave it for sync(), syncs it; on failure nothing
    // of it stays in the file.
    bool append(const QByteArray& record, QString* error, Sync when = Sync::Now);
    // Syncs what was appended to the journal at `path` so far. Any thread.
    static bool sync(const QString& path, QString* error);
    // Makes `records` the whole journal, atomically (empty: an empty file).
    bool replace(const QList<QByteArray>& records, QString* error);

    static QByteArray frame(const QByteArray& record);
    static quint32 checksum(QByteArrayView bytes);

private:
    bool openForAppend(QString* error);
    void close();

    const QString path_;
    int fd_ = -1;
    qint64 size_ = 0;
};
