#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// One prepared statement of a connection: bound, stepped, read, and reset for its next use.
// Owned by its connection, which keeps it prepared for the life of the connection.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, sqlite3_stmt* statement) : db_(db), statement_(statement) {}
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Parameters count from 1, as SQLite's do.
    SqliteStatement& bind(int index, const QString& text);
    SqliteStatement& bind(int index, const QByteArray& blob);
    SqliteStatement& bind(int index, qint64 number);

    // A row to read; false when done, or on failure (then code() tells it).
    bool next();
    // Steps to the end; false on failure.
    bool run();
    // Ends a read left before its last row, so the statement holds no snapshot of the database.
    void reset();
    // The result of the last step: SQLITE_ROW, SQLITE_DONE or an error code.
    int code() const { return code_; }

    QString text(int column) const;
    QByteArray blob(int column) const;
    // The same without a copy: valid until the next step.
    QByteArrayView blobView(int column) const;
    qint64 number(int column) const;

private:
    sqlite3* db_;
    sqlite3_stmt* statement_;
    int code_ = 0;
};
