#pragma once

#include "foundation/SqliteStatement.h"

#include <QHash>
#include <QString>

#include <memory>

struct sqlite3;

// Why SQLite refused: its result code and its words.
struct SqliteFailure {
    int code = 0;
    QString message;

    // The file is not a sound database (damaged, or no database at all).
    bool isDamage() const;
    // Anything else that refuses now may work later: no free descriptor, an I/O error, a lock
    // held, a full disk, rights.
    bool isPassing() const { return code != 0 && !isDamage(); }
};

// One connection to an SQLite database file, opened without following a symbolic link. Its
// statements are prepared once and kept. Used on one thread at a time.
class SqliteConnection {
public:
    enum class Mode { ReadWrite, ReadOnly, FileAlone };

    // Nothing, and why, when the file cannot be opened. FileAlone reads the main file as it stands,
    // without its write-ahead log.
    static std::unique_ptr<SqliteConnection> open(const QString& path, Mode mode, SqliteFailure* failure);
    // Tests: every later open goes through the SQLite file system registered under `name`
    // (nothing: the default one).
    static void setVfsForTests(const char* name);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    // Runs statements that return nothing to read.
    bool execute(const char* sql, SqliteFailure* failure = nullptr);
    // The statement for `sql`, prepared at its first use; nothing when it does not prepare.
    SqliteStatement* statement(const char* sql, SqliteFailure* failure = nullptr);
    // The first column of the first row, as text; nothing on failure.
    std::optional<QString> single(const char* sql, SqliteFailure* failure = nullptr);
    // Why the last call failed.
    SqliteFailure lastFailure() const;
    SqliteFailure failureOf(const SqliteStatement& statement) const;

    // Runs `work` in one immediate transaction, committed when it returns true.
    template <typename Work>
    bool transaction(SqliteFailure* failure, Work work)
    {
        if (!execute("BEGIN IMMEDIATE", failure))
            return false;
        if (work() && execute("COMMIT", failure))
            return true;
        if (failure && failure->code == 0)
            *failure = lastFailure();
        execute("ROLLBACK");
        return false;
    }

    sqlite3* handle() const { return db_; }

private:
    explicit SqliteConnection(sqlite3* db) : db_(db) {}

    sqlite3* db_;
    QHash<const char*, std::shared_ptr<SqliteStatement>> statements_;
};
