#include "foundation/SettingsSalvage.h"

#include "foundation/SqliteConnection.h"

#include <sqlite3.h>

#include <functional>
#include <limits>
#include <optional>

namespace {
// Whether a read from rowid `from` on starts: it fails where the rows from there lie on a
// damaged page.
bool startsAt(SqliteStatement& query, qint64 from)
{
    query.bind(1, from);
    const bool starts = query.next() || query.code() == SQLITE_DONE;
    query.reset();
    return starts;
}

// The first rowid after `failed` from which a read starts: further and further ahead until one
// does, then back by halves to the first that does, so that no readable row past a damaged page
// is stepped over. Nothing when none does within reach.
std::optional<qint64> nextStart(SqliteStatement& query, qint64 failed)
{
    constexpr int kMostJumps = 63;
    qint64 lo = failed;
    qint64 skip = 1;
    std::optional<qint64> hi;
    for (int jump = 0; jump < kMostJumps && lo <= std::numeric_limits<qint64>::max() - skip; ++jump, skip *= 2) {
        if (startsAt(query, lo + skip)) {
            hi = lo + skip;
            break;
        }
        lo += skip;
    }
    if (!hi)
        return std::nullopt;
    // A read from `lo` fails and one from `hi` starts: the first start lies in (lo, hi].
    while (*hi - lo > 1) {
        const qint64 middle = lo + (*hi - lo) / 2;
        if (startsAt(query, middle))
            hi = middle;
        else
            lo = middle;
    }
    return hi;
}

// Reads a table by rowid, stepping over the rows a damaged page holds. `take` gets each row.
// False when the table cannot be read at all.
bool readByRowid(SqliteConnection& connection, const char* sql, const std::function<void(const SqliteStatement&)>& take)
{
    constexpr int kMostDamagedPages = 256;
    SqliteStatement* query = connection.statement(sql);
    if (!query)
        return false;
    // Rows are numbered from 1 up.
    qint64 from = 1;
    bool readAny = false;
    for (int damaged = 0; damaged < kMostDamagedPages; ++damaged) {
        query->bind(1, from);
        while (query->next()) {
            readAny = true;
            take(*query);
            from = query->number(0) + 1;
        }
        if (query->code() == SQLITE_DONE)
            return true;
        query->reset();
        const std::optional<qint64> next = nextStart(*query, from);
        if (!next)
            break;
        from = *next;
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
