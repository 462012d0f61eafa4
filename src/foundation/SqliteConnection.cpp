#include "foundation/SqliteConnection.h"

#include <QUrl>

#include <sqlite3.h>

#include <optional>

namespace {
const char* vfsForTests = nullptr;
}

bool SqliteFailure::isDamage() const
{
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

void SqliteConnection::setVfsForTests(const char* name) { vfsForTests = name; }

std::unique_ptr<SqliteConnection> SqliteConnection::open(const QString& path, Mode mode, SqliteFailure* failure)
{
    int flags = SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI;
    flags |= mode == Mode::ReadWrite ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    QUrl uri = QUrl::fromLocalFile(path);
    uri.setScheme(QStringLiteral("file"));
    if (mode == Mode::FileAlone)
        uri.setQuery(QStringLiteral("immutable=1"));
    sqlite3* db = nullptr;
    const int code = sqlite3_open_v2(uri.toString(QUrl::FullyEncoded).toUtf8().constData(), &db, flags, vfsForTests);
    if (code != SQLITE_OK) {
        if (failure)
            *failure = {code, QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(code))};
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_extended_result_codes(db, 1);
    // Another connection (a reader on a worker) may hold the file a moment; a lock held longer is
    // a passing failure of its own, not a reason to freeze.
    sqlite3_busy_timeout(db, 1000);
    return std::unique_ptr<SqliteConnection>(new SqliteConnection(db));
}

SqliteConnection::~SqliteConnection()
{
    statements_.clear();
    sqlite3_close(db_);
}

bool SqliteConnection::execute(const char* sql, SqliteFailure* failure)
{
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    if (failure)
        *failure = lastFailure();
    return false;
}

SqliteStatement* SqliteConnection::statement(const char* sql, SqliteFailure* failure)
{
    if (const auto found = statements_.constFind(sql); found != statements_.cend())
        return found.value().get();
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &prepared, nullptr) != SQLITE_OK) {
        if (failure)
            *failure = lastFailure();
        sqlite3_finalize(prepared);
        return nullptr;
    }
    return statements_.insert(sql, std::make_shared<SqliteStatement>(db_, prepared)).value().get();
}

std::optional<QString> SqliteConnection::single(const char* sql, SqliteFailure* failure)
{
    SqliteStatement* query = statement(sql, failure);
    if (!query)
        return std::nullopt;
    if (!query->next()) {
        if (failure)
            *failure = failureOf(*query);
        return query->code() == SQLITE_DONE ? std::optional(QString()) : std::nullopt;
    }
    const QString value = query->text(0);
    query->reset();
    return value;
}

SqliteFailure SqliteConnection::lastFailure() const
{
    return {sqlite3_extended_errcode(db_), QString::fromUtf8(sqlite3_errmsg(db_))};
}

SqliteFailure SqliteConnection::failureOf(const SqliteStatement& statement) const
{
    if (statement.code() == SQLITE_DONE || statement.code() == SQLITE_ROW)
        return {};
    return {statement.code(), QString::fromUtf8(sqlite3_errstr(statement.code()))};
}
