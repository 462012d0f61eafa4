#pragma once

#include "foundation/SettingsChange.h"
#include "foundation/SqliteConnection.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// The database that holds the application's stored state: entries (a value's stored JSON under
// its key) and lists of rows (a record under its key, at a position). Write-ahead logging with
// a sync at every commit (synchronous=FULL), so a change is on disk once its commit returns, also
// across a power cut. The main file is checked whole every time it opens; a write-ahead log left beside it
// that was not written on top of that very file (a backup restored beside a newer or older log)
// is never applied: each log begins by naming the file state it follows. A database that is not
// the main one (recovery, memory) also keeps what the session removed, so that merging it into
// the main one later removes it there too. One thread at a time.
class SettingsDatabase {
public:
    struct Opening {
        std::unique_ptr<SettingsDatabase> database;
        // Why it did not open; isDamage() when the file is damaged (it is left as it is).
        SqliteFailure failure;
        // A write-ahead log that did not belong to the file was set aside here.
        QString logSetAside;
        // The file, its log or their index is a link, no regular file or another user's: never
        // opened (failure says which and why).
        bool refused = false;
    };
    enum class Role { Main, Recovery };
    // When the file is checked whole: as it opens, or later by checkFile() on a worker (it is
    // then left as found, never checkpointed, until markChecked()).
    enum class Check { AtOpen, Later };

    // Opens the file at `path`, created (0600) when missing, never through a symbolic link, and
    // only when it, its log and their index are the user's own regular files.
    static Opening open(const QString& path, Role role, Check check = Check::AtOpen);
    // Checks the file whole on a connection of its own, read only (any thread): no failure
    // (code 0) when it is sound, one that isDamage() when it is not.
    static SqliteFailure checkFile(const QString& path);
    // The file was found sound since it opened: checkpoints may change it from now on.
    void markChecked();
    // Checks the file whole on this connection, unless it was; true once it is found sound.
    bool checkNow(SqliteFailure* failure);
    bool isChecked() const { return checked_; }
    // Closes the connection without copying the log into the file: both stay as they are.
    void abandon();
    // A database in memory only (a store for tests, or the session's changes while no file opens).
    static std::unique_ptr<SettingsDatabase> inMemory(Role role);
    ~SettingsDatabase();

    const QString& path() const { return path_; }
    Role role() const { return role_; }

    // Every entry, key and stored JSON.
    std::optional<QList<std::pair<QString, QByteArray>>> entries(SqliteFailure* failure);
    // The entry under `key`; nothing when there is none or on failure (then `failure` is set).
    std::optional<QByteArray> entry(const QString& key, SqliteFailure* failure);
    // The rows of a list in order.
    std::optional<QList<StoredRow>> rows(const QString& list, SqliteFailure* failure);
    QStringList lists();
    // One transaction. A log grown past its bound is copied into the file right after it, unless
    // the caller does that itself (`checkpointAfter`), after what must not wait for it.
    enum class Checkpoint { Now, ByCaller };
    bool apply(const SettingsChange& change, SqliteFailure* failure, Checkpoint checkpointAfter = Checkpoint::Now);
    // Everything this database holds and removed, as one change to make on another: its rows
    // go before the other's, in their order.
    std::optional<SettingsChange> asChange(SettingsDatabase& target, SqliteFailure* failure);
    // Copies the log into the file and starts a new log (at open and quit, when the log grows,
    // and when the disk is full); nothing when no change came since the last one. Writes nothing
    // before the copy, so it needs no free room to start. True once the file holds everything.
    bool checkpoint();

    // Each row of a list in order, as it is read; the record's bytes last only for the call, so
    // a long list is copied once, into whatever `visit` makes of it.
    using RowVisitor = std::function<void(const QString& key, qint64 position, QByteArrayView record)>;
    // Reads a file's rows on a thread of its own: a connection of its own, read only.
    static bool readRows(const QString& path, const QString& list, const RowVisitor& visit, SqliteFailure* failure);
    // The keys of a list's rows, in no order, read the same way.
    static std::optional<QStringList> readKeys(const QString& path, const QString& list, SqliteFailure* failure);

    static constexpr const char* kLogSuffix = "-wal";

private:
    SettingsDatabase(std::unique_ptr<SqliteConnection> connection, QString path, Role role);
    bool prepare(SqliteFailure* failure);
    // Checks the file whole (SQLite's integrity check); a failure that isDamage() when it is not
    // sound.
    static bool checkWith(SqliteConnection& connection, SqliteFailure* failure);
    // Copies the whole log into the file and empties it; true when all of it went.
    bool copyLog();
    // Names the state of the file a new log follows, in its first transaction.
    void nameLog();
    bool setToken(const char* name, const QString& token);
    static bool visitRows(SqliteConnection& connection, const QString& list, const RowVisitor& visit, SqliteFailure* failure);
    // Whether the log beside the file follows the file's state; true when there is none.
    static bool logBelongs(const QString& path);
    // The log moved aside, with its index; the new name, or nothing.
    static std::optional<QString> setLogAside(const QString& path);
    static QString newToken();

    std::unique_ptr<SqliteConnection> connection_;
    QString path_;
    Role role_;
    // A change was committed since the last checkpoint.
    bool changed_ = true;
    bool checked_ = true;
};
