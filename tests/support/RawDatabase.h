#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sqlite3.h>

// A database file read or written behind the store's back, as another program, a restore or
// a damage would: plain SQLite, no checks of ours.
class RawDatabase {
public:
    explicit RawDatabase(const QString& path, int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
    {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, flags, nullptr);
    }
    ~RawDatabase() { sqlite3_close(db_); }
    RawDatabase(const RawDatabase&) = delete;
    RawDatabase& operator=(const RawDatabase&) = delete;

    bool execute(const QString& sql) { return sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK; }
    // The first column of the first row; empty when none.
    QString text(const QString& sql)
    {
        sqlite3_stmt* statement = nullptr;
        QString value;
        if (sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW)
            value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        sqlite3_finalize(statement);
        return value;
    }
    sqlite3* handle() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};
