#include "foundation/SqliteStatement.h"

#include <sqlite3.h>

SqliteStatement::~SqliteStatement() { sqlite3_finalize(statement_); }

SqliteStatement& SqliteStatement::bind(int index, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, const QByteArray& blob)
{
    // An empty blob is still a blob, not NULL.
    sqlite3_bind_blob64(statement_, index, blob.isNull() ? "" : blob.constData(), sqlite3_uint64(blob.size()), SQLITE_TRANSIENT);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, qint64 number)
{
    sqlite3_bind_int64(statement_, index, number);
    return *this;
}

bool SqliteStatement::next()
{
    code_ = sqlite3_step(statement_);
    if (code_ == SQLITE_ROW)
        return true;
    reset();
    return false;
}

void SqliteStatement::reset()
{
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

bool SqliteStatement::run()
{
    while (next()) {
    }
    return code_ == SQLITE_DONE;
}

QString SqliteStatement::text(int column) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return QString::fromUtf8(bytes, sqlite3_column_bytes(statement_, column));
}

QByteArray SqliteStatement::blob(int column) const { return blobView(column).toByteArray(); }

QByteArrayView SqliteStatement::blobView(int column) const
{
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement_, column));
    return QByteArrayView(bytes, sqlite3_column_bytes(statement_, column));
}

qint64 SqliteStatement::number(int column) const { return sqlite3_column_int64(statement_, column); }
