#include "foundation/SettingsDatabase.h"

#include "foundation/Log.h"
#include "foundation/WriteAheadLog.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS entries(key TEXT NOT NULL UNIQUE, entry BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS rows(list TEXT NOT NULL, key TEXT NOT NULL, position INTEGER NOT NULL, record BLOB NOT NULL,
  UNIQUE(list, key));
CREATE INDEX IF NOT EXISTS rows_in_order ON rows(list, position);
CREATE TABLE IF NOT EXISTS removed(list TEXT NOT NULL, key TEXT NOT NULL, UNIQUE(list, key));
CREATE TABLE IF NOT EXISTS lineage(name TEXT NOT NULL UNIQUE, token TEXT NOT NULL);
)sql";

// The list name under which the removal of an entry is kept.
const QString kEntries;

// The log is copied into the file once it is this long, and SQLite cuts a log it starts anew
// back to this length: a log never holds much more than this.
constexpr qint64 kCheckpointLogBytes = 4 << 20;

// Why the file at `path` is not the user's to open: a link, no regular file, another user's
// (planted in a folder others could write to). Empty when it is, or when there is none.
QString refusal(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("%1 is a symbolic link").arg(path);
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("%1 is no regular file").arg(path);
    if (info.st_uid != ::geteuid())
        return QStringLiteral("%1 belongs to another user").arg(path);
    return {};
}

// Creates the file when missing, its owner's alone, and makes sure what stands at the path is
// a regular file and no link. The reason when not.
QString prepareFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int code = errno;
        if (code == ELOOP)
            return QStringLiteral("a symbolic link stands in its place");
        if (code == EISDIR)
            return QStringLiteral("a folder stands in its place");
        return QString::fromLocal8Bit(std::strerror(code));
    }
    struct stat info {};
    QString reason;
    if (::fstat(fd, &info) != 0)
        reason = QString::fromLocal8Bit(std::strerror(errno));
    else if (!S_ISREG(info.st_mode))
        reason = QStringLiteral("it is no regular file");
    else if (info.st_uid != ::geteuid())
        reason = QStringLiteral("%1 belongs to another user").arg(path);  // planted since it was looked at
    else if ((info.st_mode & 0777) != 0600)
        ::fchmod(fd, 0600);
    ::close(fd);
    return reason;
}

// The lineage token under `name`; empty when there is none or it cannot be read. A file alone
// may lack the table (a new one, all in its log): `tableMayLack` reads that as no token.
QString token(SqliteConnection& connection, const char* sql, bool tableMayLack, bool* readable)
{
    SqliteFailure failure;
    const std::optional<QString> value = connection.single(sql, &failure);
    *readable = value || (tableMayLack && failure.message.contains(QStringLiteral("no such table")));
    return value.value_or(QString());
}
} // namespace

SettingsDatabase::SettingsDatabase(std::unique_ptr<SqliteConnection> connection, QString path, Role role)
    : connection_(std::move(connection)), path_(std::move(path)), role_(role)
{
}

SettingsDatabase::~SettingsDatabase()
{
    // The close removes the emptied log: no log follows the file, so none is named.
    if (!checked_)
        abandon();
    else if (connection_ && !path_.isEmpty() && changed_)
        copyLog();
}

SettingsDatabase::Opening SettingsDatabase::open(const QString& path, Role role, Check check)
{
    Opening opening;
    // The log and its index are opened by SQLite itself: they are checked with the file, before.
    for (const char* suffix : {"", kLogSuffix, "-shm"}) {
        if (const QString refused = refusal(path + QLatin1String(suffix)); !refused.isEmpty()) {
            opening.failure = {SQLITE_CANTOPEN, refused};
            opening.refused = true;
            return opening;
        }
    }
    if (const QString reason = prepareFile(path); !reason.isEmpty()) {
        opening.failure = {SQLITE_CANTOPEN, reason};
        return opening;
    }
    if (!logBelongs(path)) {
        const std::optional<QString> aside = setLogAside(path);
        if (!aside) {
            opening.failure = {SQLITE_CANTOPEN, QStringLiteral("its write-ahead log belongs to another state of it and cannot be moved aside")};
            return opening;
        }
        opening.logSetAside = *aside;
    }
    if (WriteAheadLog::losesCommits(path + QLatin1String(kLogSuffix))) {
        opening.failure = {SQLITE_CORRUPT, QStringLiteral("its write-ahead log is damaged before changes that were saved")};
        return opening;
    }
    std::unique_ptr<SqliteConnection> connection = SqliteConnection::open(path, SqliteConnection::Mode::ReadWrite, &opening.failure);
    if (!connection)
        return opening;
    std::unique_ptr<SettingsDatabase> database(new SettingsDatabase(std::move(connection), path, role));
    database->checked_ = check == Check::AtOpen;
    if (database->prepare(&opening.failure))
        opening.database = std::move(database);
    else
        database->abandon(); // nothing is written into a file that did not prepare
    return opening;
}

void SettingsDatabase::abandon()
{
    if (!connection_)
        return;
    // The close leaves the log beside the file, so a copy taken next holds both as they are.
    sqlite3_db_config(connection_->handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    connection_.reset();
}

SqliteFailure SettingsDatabase::checkFile(const QString& path)
{
    SqliteFailure failure;
    std::unique_ptr<SqliteConnection> reader = SqliteConnection::open(path, SqliteConnection::Mode::ReadOnly, &failure);
    if (reader && checkWith(*reader, &failure))
        return {};
    return failure;
}

void SettingsDatabase::markChecked() { checked_ = true; }

bool SettingsDatabase::checkNow(SqliteFailure* failure)
{
    checked_ = checked_ || path_.isEmpty() || checkWith(*connection_, failure);
    return checked_;
}

std::unique_ptr<SettingsDatabase> SettingsDatabase::inMemory(Role role)
{
    SqliteFailure failure;
    std::unique_ptr<SqliteConnection> connection = SqliteConnection::open(QStringLiteral(":memory:"), SqliteConnection::Mode::ReadWrite, &failure);
    if (!connection)
        qFatal("SQLite cannot make a database in memory: %s", qPrintable(failure.message));
    std::unique_ptr<SettingsDatabase> database(new SettingsDatabase(std::move(connection), QString(), role));
    if (!database->prepare(&failure))
        qFatal("SQLite cannot make a database in memory: %s", qPrintable(failure.message));
    return database;
}

bool SettingsDatabase::prepare(SqliteFailure* failure)
{
    // No log, or an empty one: the file holds everything, so the log that starts now follows it.
    const bool logEmpty = QFileInfo(path_ + QLatin1String(kLogSuffix)).size() == 0;
    // A new file holds nothing to check: it is made whole at once.
    if (logEmpty && QFileInfo(path_).size() == 0)
        checked_ = true;
    if (!path_.isEmpty()) {
        const std::optional<QString> mode = connection_->single("PRAGMA journal_mode=WAL", failure);
        if (!mode)
            return false;
        if (mode->compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
            *failure = {SQLITE_CANTOPEN, QStringLiteral("it cannot keep a write-ahead log (journal mode %1)").arg(*mode)};
            return false;
        }
        // Checkpoints are the store's own, so that each log starts by naming the file it follows.
        if (!connection_->execute("PRAGMA synchronous=FULL; PRAGMA wal_autocheckpoint=0", failure))
            return false;
        const QByteArray limit = "PRAGMA journal_size_limit=" + QByteArray::number(kCheckpointLogBytes);
        if (!connection_->execute(limit.constData(), failure) || (checked_ && !checkWith(*connection_, failure)))
            return false;
    }
    if (!connection_->execute(kSchema, failure))
        return false;
    if (checked_)
        checkpoint();
    else if (logEmpty && !path_.isEmpty() && copyLog())
        nameLog(); // an empty log copies nothing: the file waits, as found, for its check
    return true;
}

bool SettingsDatabase::logBelongs(const QString& path)
{
    const QFileInfo log(path + QLatin1String(kLogSuffix));
    if (!log.exists() || log.size() == 0)
        return true;
    SqliteFailure failure;
    const char* const fileSql = "SELECT token FROM lineage WHERE name = 'file'";
    bool fileReadable = false;
    QString fileToken;
    {
        // Closed before the log is read, which it must not see.
        std::unique_ptr<SqliteConnection> fileAlone = SqliteConnection::open(path, SqliteConnection::Mode::FileAlone, &failure);
        if (!fileAlone)
            return true; // the open that follows tells what is wrong
        fileToken = token(*fileAlone, fileSql, true, &fileReadable);
    }
    std::unique_ptr<SqliteConnection> withLog = SqliteConnection::open(path, SqliteConnection::Mode::ReadOnly, &failure);
    if (!withLog)
        return true;
    bool logReadable = false;
    bool logFileReadable = false;
    // Read with its log the file has the table: a log that made it carries it, and one written
    // on a file that had it finds it there. A log read on a file it was not written on need not.
    const QString followed = token(*withLog, "SELECT token FROM lineage WHERE name = 'log'", false, &logReadable);
    const QString checkpointing = token(*withLog, fileSql, false, &logFileReadable);
    if (!fileReadable)
        return true; // a damaged file: the check at open finds it, and the log is kept with it
    // Either the log started on this file, or a checkpoint that names the file anew was under way.
    return logReadable && logFileReadable && (fileToken == followed || fileToken == checkpointing);
}

std::optional<QString> SettingsDatabase::setLogAside(const QString& path)
{
    const QString log = path + QLatin1String(kLogSuffix);
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = log + QStringLiteral(".set-aside-") + stamp;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = log + QStringLiteral(".set-aside-%1-%2").arg(stamp).arg(n);
    if (::rename(QFile::encodeName(log).constData(), QFile::encodeName(target).constData()) != 0)
        return std::nullopt;
    // The shared-memory index describes the log that went: SQLite makes it anew.
    QFile::remove(path + QStringLiteral("-shm"));
    logLine(QStringLiteral("⚠️"), QStringLiteral("SettingsDatabase"),
        QStringLiteral("The write-ahead log beside %1 was not written on top of it (a restored copy?); it is kept at %2 and "
                       "the database opens as the file stands")
            .arg(path, target));
    return target;
}

QString SettingsDatabase::newToken() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }

bool SettingsDatabase::checkWith(SqliteConnection& connection, SqliteFailure* failure)
{
    // The full check, not the quick one: it also holds each index against its table, and an
    // index page that lost rows reads as sound to the quick check while a list read through it
    // comes short. It costs little more, on a worker.
    const std::optional<QString> found = connection.single("PRAGMA integrity_check", failure);
    if (!found)
        return false;
    if (*found != QLatin1String("ok")) {
        *failure = {SQLITE_CORRUPT, QStringLiteral("the database check found: ") + *found};
        return false;
    }
    return true;
}

bool SettingsDatabase::checkpoint()
{
    if (path_.isEmpty() || !changed_)
        return true;
    // Until the file is found sound it stays as it was found, its log beside it.
    if (!checked_)
        return false;
    // The file is given its next state's token first, so that the log that starts after the
    // copy names it. Where that write finds no room (a full disk), the copy goes first: it
    // empties the log, and the new log names the file as it then stands.
    const QString token = newToken();
    if (!setToken("file", token)) {
        if (!copyLog())
            return false;
        nameLog();
        return true;
    }
    if (!copyLog())
        return false;
    setToken("log", token);
    return true;
}

bool SettingsDatabase::setToken(const char* name, const QString& token)
{
    SqliteStatement* set = connection_->statement("INSERT INTO lineage(name, token) VALUES(?, ?) "
                                                  "ON CONFLICT(name) DO UPDATE SET token = excluded.token");
    return set && set->bind(1, QString::fromLatin1(name)).bind(2, token).run();
}

bool SettingsDatabase::copyLog()
{
    // The copy comes first and writes nothing into the log: a log that filled the disk is
    // emptied by it, and only then is the new log named.
    SqliteStatement* copy = connection_->statement("PRAGMA wal_checkpoint(TRUNCATE)");
    if (!copy || !copy->next())
        return false;
    const bool whole = copy->number(0) == 0;
    copy->reset();
    changed_ = changed_ && !whole;
    return whole;
}

void SettingsDatabase::nameLog()
{
    // The log's first transaction names the state of the file it follows (the token the file
    // holds now), and gives the file the token of its next state, which it takes when this log
    // is copied into it. A log that could not be named (a full disk) follows whatever file
    // it finds: it is only told apart from another state's log when it was named.
    const std::optional<QString> fileToken = connection_->single("SELECT token FROM lineage WHERE name = 'file'");
    if (!fileToken)
        return;
    const QString next = newToken();
    SqliteStatement* set = connection_->statement("INSERT INTO lineage(name, token) VALUES(?, ?) "
                                                  "ON CONFLICT(name) DO UPDATE SET token = excluded.token");
    if (!set)
        return;
    connection_->transaction(nullptr, [&] {
        return set->bind(1, QStringLiteral("log")).bind(2, *fileToken).run() && set->bind(1, QStringLiteral("file")).bind(2, next).run();
    });
}

std::optional<QList<std::pair<QString, QByteArray>>> SettingsDatabase::entries(SqliteFailure* failure)
{
    SqliteStatement* query = connection_->statement("SELECT key, entry FROM entries ORDER BY key", failure);
    if (!query)
        return std::nullopt;
    QList<std::pair<QString, QByteArray>> entries;
    while (query->next())
        entries.append({query->text(0), query->blob(1)});
    if (query->code() != SQLITE_DONE) {
        *failure = connection_->failureOf(*query);
        return std::nullopt;
    }
    return entries;
}

std::optional<QByteArray> SettingsDatabase::entry(const QString& key, SqliteFailure* failure)
{
    SqliteStatement* query = connection_->statement("SELECT entry FROM entries WHERE key = ?", failure);
    if (!query)
        return std::nullopt;
    if (!query->bind(1, key).next()) {
        *failure = connection_->failureOf(*query);
        return std::nullopt;
    }
    QByteArray entry = query->blob(0);
    query->reset();
    return entry;
}

std::optional<QList<StoredRow>> SettingsDatabase::rows(const QString& list, SqliteFailure* failure)
{
    QList<StoredRow> rows;
    const auto add = [&rows](const QString& key, qint64 position, QByteArrayView record) {
        rows.append({key, position, record.toByteArray()});
    };
    if (!visitRows(*connection_, list, add, failure))
        return std::nullopt;
    return rows;
}

bool SettingsDatabase::visitRows(SqliteConnection& connection, const QString& list, const RowVisitor& visit, SqliteFailure* failure)
{
    SqliteStatement* query = connection.statement("SELECT key, position, record FROM rows WHERE list = ? ORDER BY position, key", failure);
    if (!query)
        return false;
    query->bind(1, list);
    while (query->next())
        visit(query->text(0), query->number(1), query->blobView(2));
    if (query->code() != SQLITE_DONE) {
        *failure = connection.failureOf(*query);
        return false;
    }
    return true;
}

bool SettingsDatabase::readRows(const QString& path, const QString& list, const RowVisitor& visit, SqliteFailure* failure)
{
    std::unique_ptr<SqliteConnection> reader = SqliteConnection::open(path, SqliteConnection::Mode::ReadOnly, failure);
    return reader && visitRows(*reader, list, visit, failure);
}

std::optional<QStringList> SettingsDatabase::readKeys(const QString& path, const QString& list, SqliteFailure* failure)
{
    std::unique_ptr<SqliteConnection> reader = SqliteConnection::open(path, SqliteConnection::Mode::ReadOnly, failure);
    SqliteStatement* query = reader ? reader->statement("SELECT key FROM rows WHERE list = ?", failure) : nullptr;
    if (!query)
        return std::nullopt;
    query->bind(1, list);
    QStringList keys;
    while (query->next())
        keys.append(query->text(0));
    if (query->code() != SQLITE_DONE) {
        *failure = reader->failureOf(*query);
        return std::nullopt;
    }
    return keys;
}

QStringList SettingsDatabase::lists()
{
    QStringList lists;
    SqliteStatement* query = connection_->statement("SELECT DISTINCT list FROM rows UNION SELECT DISTINCT list FROM removed WHERE list != ''");
    while (query && query->next())
        lists.append(query->text(0));
    return lists;
}

bool SettingsDatabase::apply(const SettingsChange& change, SqliteFailure* failure, Checkpoint checkpointAfter)
{
    const bool keepsRemovals = role_ == Role::Recovery;
    const auto removal = [this, keepsRemovals](const QString& list, const QString& key, bool removed) {
        if (!keepsRemovals)
            return true;
        SqliteStatement* statement = removed
            ? connection_->statement("INSERT OR IGNORE INTO removed(list, key) VALUES(?, ?)")
            : connection_->statement("DELETE FROM removed WHERE list = ? AND key = ?");
        return statement && statement->bind(1, list).bind(2, key).run();
    };
    const auto write = [&] {
        for (auto it = change.entries.cbegin(); it != change.entries.cend(); ++it) {
            SqliteStatement* statement = it.value()
                ? connection_->statement("INSERT INTO entries(key, entry) VALUES(?, ?) "
                                         "ON CONFLICT(key) DO UPDATE SET entry = excluded.entry")
                : connection_->statement("DELETE FROM entries WHERE key = ?");
            if (!statement)
                return false;
            statement->bind(1, it.key());
            if (it.value())
                statement->bind(2, *it.value());
            if (!statement->run() || !removal(kEntries, it.key(), !it.value()))
                return false;
        }
        for (auto it = change.lists.cbegin(); it != change.lists.cend(); ++it) {
            SqliteStatement* remove = connection_->statement("DELETE FROM rows WHERE list = ? AND key = ?");
            SqliteStatement* put = connection_->statement("INSERT INTO rows(list, key, position, record) VALUES(?, ?, ?, ?) "
                                                          "ON CONFLICT(list, key) DO UPDATE SET position = excluded.position, "
                                                          "record = excluded.record");
            if (!remove || !put)
                return false;
            for (const QString& key : it->removed)
                if (!remove->bind(1, it.key()).bind(2, key).run() || !removal(it.key(), key, true))
                    return false;
            for (const StoredRow& row : it->put)
                if (!put->bind(1, it.key()).bind(2, row.key).bind(3, row.position).bind(4, row.record).run()
                    || !removal(it.key(), row.key, false))
                    return false;
        }
        return true;
    };
    bool committed = connection_->transaction(failure, write);
    // A full disk: the log that filled it goes into the file and is emptied, which frees its
    // room, and the change is tried once more.
    if (!committed && failure && (failure->code & 0xff) == SQLITE_FULL && !path_.isEmpty() && checkpoint()) {
        *failure = {};
        committed = connection_->transaction(failure, write);
    }
    changed_ = changed_ || committed;
    if (committed && checkpointAfter == Checkpoint::Now && !path_.isEmpty()
        && QFileInfo(path_ + QLatin1String(kLogSuffix)).size() > kCheckpointLogBytes)
        checkpoint();
    return committed;
}

std::optional<SettingsChange> SettingsDatabase::asChange(SettingsDatabase& target, SqliteFailure* failure)
{
    SettingsChange change;
    const std::optional<QList<std::pair<QString, QByteArray>>> entries = this->entries(failure);
    if (!entries)
        return std::nullopt;
    for (const auto& [key, entry] : *entries)
        change.entries.insert(key, entry);
    SqliteStatement* removed = connection_->statement("SELECT list, key FROM removed", failure);
    if (!removed)
        return std::nullopt;
    while (removed->next()) {
        if (removed->text(0).isEmpty())
            change.entries.insert(removed->text(1), std::nullopt);
        else
            change.lists[removed->text(0)].removed.append(removed->text(1));
    }
    for (const QString& list : lists()) {
        const std::optional<QList<StoredRow>> rows = this->rows(list, failure);
        if (!rows)
            return std::nullopt;
        SqliteStatement* first = target.connection_->statement("SELECT min(position) FROM rows WHERE list = ?", failure);
        if (!first)
            return std::nullopt;
        qint64 front = 0;
        if (first->bind(1, list).next())
            front = first->number(0);
        first->reset();
        SettingsChange::ListChange& rowsChange = change.lists[list];
        for (qsizetype i = 0; i < rows->size(); ++i) {
            StoredRow row = rows->at(i);
            row.position = front - (rows->size() - i) * kRowGap;
            rowsChange.put.append(row);
        }
    }
    return change;
}
