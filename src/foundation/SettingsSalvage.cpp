#include "foundation/SettingsSalvage.h"

#include "foundation/SqliteConnection.h"

#include <sqlite3.h>

#include <functional>
#include <limits>

namespace {
// Reads a table by rowid from `from` on; past a row that does not read, further and further
// ahead, so that a damaged page is stepped over. `take` gets each row. False when the table
// cannot be read at all.
bool readByRowid(SqliteConnection& connection, const char* sql, const std::function<void(const SqliteStatement&)>& take)
{
    constexpr int kMostSkips = 64;
    SqliteStatement* query = connection.statement(sql);
    if (!query)
        return false;
    // Rows are numbered from 1 up.
    qint64 from = 1;
    qint64 skip = 1;
    bool readAny = false;
    for (int skips = 0; skips < kMostSkips; ++skips) {
        query->bind(1, from);
        while (query->next()) {
            readAny = true;
            take(*query);
            from = query->number(0) + 1;
            skip = 1;
        }
        if (query->code() == SQLITE_DONE)
            return true;
        if (from > std::numeric_limits<qint64>::max() - skip)
            break;
        from += skip;
        skip *= 2;
    }
    return readAny;
}

std::optional<SettingsSalvage::Salvaged> readWith(SqliteConnection& connection)
{
    SettingsSalvage::Salvaged salvaged;
    const bool entries = readByRowid(connection, "SELECT rowid, key, entry FROM entries WHERE rowid >= ? ORDER BY rowid",
        [&salvaged](const SqliteStatement& row) {
            salvaged.change.entries.insert(row.text(1), row.blob(2));
            ++salvaged.entries;
        });
    const bool rows = readByRowid(connection, "SELECT rowid, list, key, position, record FROM rows WHERE rowid >= ? ORDER BY rowid",
        [&salvaged](const SqliteStatement& row) {
            salvaged.change.lists[row.text(1)].put.append({row.text(2), row.number(3), row.blob(4)});
            ++salvaged.rows;
        });
    if (!entries && !rows)
        return std::nullopt;
    return salvaged;
}
} // namespace

std::optional<SettingsSalvage::Salvaged> SettingsSalvage::read(const QString& path)
{
    std::optional<Salvaged> best;
    for (const SqliteConnection::Mode mode : {SqliteConnection::Mode::ReadOnly, SqliteConnection::Mode::FileAlone}) {
        SqliteFailure failure;
        std::unique_ptr<SqliteConnection> connection = SqliteConnection::open(path, mode, &failure);
        if (!connection)
            continue;
        // A file shorter than its header says is read as far as it goes, instead of refused whole.
        connection->execute("PRAGMA writable_schema=ON");
        std::optional<Salvaged> salvaged = readWith(*connection);
        if (salvaged && (!best || salvaged->entries + salvaged->rows > best->entries + best->rows))
            best = std::move(salvaged);
    }
    return best;
}
