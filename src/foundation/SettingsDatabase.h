#pragma once

#include "foundation/SettingsChange.h"
#include "foundation/SqliteConnection.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// The database that holds the application's stored state: entries (a value's stored JSON under
// its key) and lists of rows (a record under its key, at a position). Write-ahead logging with
// a sync at every commit (synchronous=FULL), so a change is on disk once its commit returns, also
// across a power cut. The main file is checked when opened; a write-ahead log left beside it
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
    };
    enum class Role { Main, Recovery };

    // Opens the file at `path`, created (0600) when missing, never through a symbolic link.
    static Opening open(const QString& path, Role role);
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
    // One transaction.
    bool apply(const SettingsChange& change, SqliteFailure* failure);
    // Everything this database holds and removed, as one change to make on another: its rows
    // go before the other's, in their order.
    std::optional<SettingsChange> asChange(SettingsDatabase& target, SqliteFailure* failure);
    // Copies the log into the file and starts a new log (at open and quit, and when the log grows);
    // nothing when no change came since the last one. True once the file holds everything.
    bool checkpoint();
    // Once a checkpoint left everything in the file (at the quit): records its state, so that
    // the next open skips the check while nobody changes the file (CheckedStateRecord). Only a
    // file found sound at open and changed since by its own commits alone gets here.
    void recordChecked();

    // Reads a file's rows on a thread of its own: a connection of its own, read only.
    static std::optional<QList<StoredRow>> readRows(const QString& path, const QString& list, SqliteFailure* failure);

    static constexpr const char* kLogSuffix = "-wal";

private:
    SettingsDatabase(std::unique_ptr<SqliteConnection> connection, QString path, Role role);
    bool prepare(SqliteFailure* failure);
    static std::optional<QList<StoredRow>> rowsOf(SqliteConnection& connection, const QString& list, SqliteFailure* failure);
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
    // The state was recorded since the last change.
    bool recorded_ = false;
};
