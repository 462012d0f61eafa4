#include "foundation/UserDefaults.h"

#include "foundation/DamagedFile.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/SettingsDatabase.h"
#include "foundation/SettingsOpener.h"
#include "foundation/Shared.h"
#include "foundation/SqliteConnection.h"

#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent>
#include <QSignalBlocker>

#include <cstring>
#include <utility>

namespace {
UserDefaults::OpenFault& openFault()
{
    static UserDefaults::OpenFault fault;
    return fault;
}

QHash<QString, QString>& earlierLists()
{
    static QHash<QString, QString> lists;
    return lists;
}

bool& importInBackground()
{
    static bool inBackground = false;
    return inBackground;
}

std::function<void()>& importHold()
{
    static std::function<void()> hold;
    return hold;
}

// Waits, on a worker, for an import that was running (`import`) to be committed: its rows are in
// the database from then on.
void awaitCommitted(const std::optional<QFuture<QString>>& import)
{
    if (import)
        import->resultAt(0);
}

// The imports' own thread: readers that wait for an import on the global pool never keep it from
// running.
QThreadPool& importPool()
{
    // Kept for the life of the process, like the global pool.
    static QThreadPool* const pool = [] {
        auto* threads = new QThreadPool;
        threads->setObjectName(QStringLiteral("Settings import"));
        threads->setMaxThreadCount(1);
        return threads;
    }();
    return *pool;
}

const QString kType = QStringLiteral("UserDefaults");

// Lays rows one by one into one JSON array as they are read, each record copied once, so that
// a long list is never held twice whole (its rows and the array).
class ArrayOfRows {
public:
    ArrayOfRows() { array_.text = "["; }

    qsizetype bytes() const { return array_.text.size(); }
    bool isEmpty() const { return array_.keys.isEmpty(); }

    void add(const QString& key, qint64 position, QByteArrayView record)
    {
        if (array_.text.size() > 1)
            array_.text += ',';
        array_.ranges.append({array_.text.size(), record.size()});
        array_.text += record;
        array_.keys.append(key);
        array_.positions.append(position);
    }

    // The array so far; the next row starts another.
    UserDefaults::StoredArray take()
    {
        array_.text += ']';
        UserDefaults::StoredArray array = std::exchange(array_, {});
        array_.text = "[";
        return array;
    }

    // The next array is written over a spent one's text, where it has room.
    void writeOver(QByteArray spent)
    {
        Q_ASSERT(isEmpty());
        if (spent.isDetached() && spent.capacity() > array_.text.capacity()) {
            spent.resize(0);
            array_.text = std::move(spent);
            array_.text += '[';
        }
    }

private:
    UserDefaults::StoredArray array_;
};
} // namespace

UserDefaults::UserDefaults(QObject* parent) : UserDefaults(kStandardDomain, Storage::OnDisk, parent) {}

UserDefaults::UserDefaults(const QString& domain, Storage storage, QObject* parent)
    : QObject(parent)
    , domain_(domain)
    , filePath_(databasePathOf(domain))
    , storage_(storage)
{
    if (storage_ == Storage::InMemory) {
        database_ = SettingsDatabase::inMemory(SettingsDatabase::Role::Main);
        return;
    }
    openMain();
}

UserDefaults::~UserDefaults()
{
    // Nobody is left to hear of a late open.
    const QSignalBlocker quiet(this);
    flush();
}

UserDefaults& UserDefaults::standard() { return Shared<UserDefaults>::instance(); }

void UserDefaults::setOpenFault(OpenFault fault) { openFault() = std::move(fault); }

void UserDefaults::setEarlierLists(QHash<QString, QString> idFields) { earlierLists() = std::move(idFields); }

void UserDefaults::setImportInBackground(bool inBackground) { importInBackground() = inBackground; }

void UserDefaults::setImportHold(std::function<void()> hold) { importHold() = std::move(hold); }

QString UserDefaults::recoveryPath() const
{
    return Paths::appConfiguration() + u'/' + domain_ + QStringLiteral(".recovery.sqlite3");
}

QString UserDefaults::databasePathOf(const QString& domain)
{
    return Paths::appConfiguration() + u'/' + domain + QStringLiteral(".sqlite3");
}

QString UserDefaults::legacyPathOf(const QString& domain) { return Paths::appConfiguration() + u'/' + domain + QStringLiteral(".json"); }

void UserDefaults::log(const QString& emoji, const QString& message) const { logLine(emoji, kType, message); }

void UserDefaults::openMain()
{
    QString reason;
    if (!Paths::makePrivateFolder(QFileInfo(filePath_).absolutePath(), &reason)) {
        openWorking(reason);
        return;
    }
    if (openFault()) {
        if (const int code = openFault()(filePath_); code != 0) {
            openWorking(QString::fromLocal8Bit(std::strerror(code)));
            return;
        }
    }
    unmergedRecovery_ = QFileInfo::exists(recoveryPath());
    // What an earlier session kept in the recovery database goes in after the import, at once.
    SettingsOpener::Opened opened = importInBackground() && !unmergedRecovery_
        ? SettingsOpener::prepare(filePath_, legacyPath(), earlierLists())
        : SettingsOpener::open(filePath_, legacyPath(), earlierLists());
    if (!opened.database) {
        openWorking(opened.failure);
        return;
    }
    if (!opened.damagedCopy.isEmpty())
        readTrouble_ = ReadTrouble{opened.damagedCopy, opened.damage, true};
    database_ = std::move(opened.database);
    if (opened.import) {
        startImport(opened);
        return;
    }
    SqliteFailure failure;
    if (!mergeLeftRecovery(&failure))
        noteCommitFailure(failure.message);
    keepTroubles(opened.troubles);
    takeEntries(*database_);
    checkWhole();
}

void UserDefaults::startImport(SettingsOpener::Opened& opened)
{
    // The session reads the import's values at once: the file's over what the database holds.
    takeEntries(*database_);
    const SettingsOpener::Import& import = *opened.import;
    for (auto it = import.change.entries.cbegin(); it != import.change.entries.cend(); ++it) {
        values_.remove(it.key());
        unreadable_.remove(it.key());
        if (it.value())
            takeEntry(it.key(), *it.value(), values_, unreadable_);
    }
    importing_ = Importing{{}, import.presentLists, {}, opened.troubles + import.troubles};
    for (auto it = import.change.lists.cbegin(); it != import.change.lists.cend(); ++it) {
        QStringList& keys = importing_->keys[it.key()];
        keys.reserve(it->put.size());
        for (const StoredRow& row : it->put)
            keys.append(row.key);
    }
    auto* watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        endImport();
    });
    // The worker alone holds the import: its values are let go as soon as it is committed, before
    // the log is copied into the file, while the lists are read.
    auto work = [database = database_.get(), import = std::exchange(opened.import, nullptr), hold = importHold()](
                    QPromise<QString>& promise) mutable {
        if (hold)
            hold();
        const QString failure = SettingsOpener::finishImport(*database, *import);
        import.reset();
        promise.addResult(failure);
        if (failure.isEmpty())
            database->checkpoint();
    };
    importing_->done = QtConcurrent::run(&importPool(), std::move(work));
    watcher->setFuture(importing_->done);
}

void UserDefaults::awaitImport()
{
    if (!importing_)
        return;
    importing_->done.waitForFinished();
    endImport();
}

void UserDefaults::endImport()
{
    if (!importing_)
        return;
    Importing ended = *std::move(importing_);
    importing_.reset();
    const QString failure = ended.done.result();
    if (!failure.isEmpty()) {
        // Nothing of it was committed: the session goes on as when the database does not open,
        // and the import is tried again with it.
        QStringList shown = keys() + ended.keys.keys();
        openWorking(QStringLiteral("the earlier settings could not be imported: ") + failure);
        // The session's own changes still read as it made them, and go into the recovery database.
        for (auto it = pending_.entries.cbegin(); it != pending_.entries.cend(); ++it) {
            values_.remove(it.key());
            unreadable_.remove(it.key());
            if (it.value())
                takeEntry(it.key(), *it.value(), values_, unreadable_);
        }
        shown += keys();
        tryPending();
        for (const QString& key : QSet<QString>(shown.cbegin(), shown.cend()))
            emit valueChanged(key);
        emit noticeChanged();
        return;
    }
    const bool waited = !pending_.isEmpty();
    keepTroubles(ended.troubles);
    // Changes made while it ran are newer: they go in after it.
    if (waited && tryPending())
        log(QStringLiteral("💾"), QStringLiteral("Saved the changes made while the earlier settings were imported"));
    emit noticeChanged();
    checkWhole();
}

bool UserDefaults::isCheckedWhole() const { return database_ && database_->isChecked(); }

void UserDefaults::checkWhole()
{
    if (!database_ || database_->path().isEmpty() || database_->isChecked())
        return;
    auto* watcher = new QFutureWatcher<SqliteFailure>(this);
    checking_ = watcher;
    const int run = ++checkRun_;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, run] {
        watcher->deleteLater();
        // Another database took this one's place meanwhile, or the quit checked it already.
        if (run != checkRun_ || awaitsFile_ || database_->isChecked())
            return;
        checked(watcher->result());
    });
    auto work = [path = database_->path()] { return SettingsDatabase::checkFile(path); };
    QFuture<SqliteFailure> check = QtConcurrent::run(work);
    watcher->setFuture(check);
}

void UserDefaults::checked(const SqliteFailure& failure)
{
    if (failure.code == 0) {
        database_->markChecked();
        return;
    }
    if (!failure.isDamage()) {
        // The check could not run now (no free descriptor, say): it runs again in a while.
        log(QStringLiteral("⚠️"), QStringLiteral("Could not check %1 yet: %2").arg(filePath_, failure.message));
        QTimer::singleShot(kLastRetryMs, this, &UserDefaults::checkWhole);
        return;
    }
    replaceDamaged(failure.message);
}

void UserDefaults::replaceDamaged(const QString& damage)
{
    ++checkRun_;
    const QStringList lists = database_->lists();
    database_->abandon();
    SettingsOpener::Opened opened = SettingsOpener::replace(filePath_, damage);
    if (!opened.database) {
        // Left as it is: this session's changes are kept in the recovery database meanwhile.
        database_.reset();
        openWorking(opened.failure);
        emit noticeChanged();
        return;
    }
    database_ = std::move(opened.database);
    readTrouble_ = ReadTrouble{opened.damagedCopy, opened.damage, true};
    tryPending();
    const QSet<QString> changed = takeEntries(*database_);
    const QStringList now = database_->lists();
    QSet<QString> touched(lists.cbegin(), lists.cend());
    touched.unite(QSet<QString>(now.cbegin(), now.cend())).unite(changed);
    for (const QString& key : std::as_const(touched))
        emit valueChanged(key);
    emit noticeChanged();
    emit damageFound();
}

void UserDefaults::keepTroubles(const QStringList& troubles)
{
    if (troubles.isEmpty())
        return;
    for (const QString& trouble : troubles)
        log(QStringLiteral("⚠️"), QStringLiteral("Opening the settings: ") + trouble);
    // Kept with the settings, so the user reads them in Settings until they dismiss them.
    SqliteFailure failure;
    const std::optional<QByteArray> stored = database_->entry(SettingsOpener::kTroublesKey, &failure);
    QString error;
    const std::optional<Value> earlier = stored ? StoredEntry::decode(*stored, SettingsOpener::kTroublesKey, &error) : std::nullopt;
    QJsonArray all = earlier && std::holds_alternative<QJsonArray>(*earlier) ? std::get<QJsonArray>(*earlier) : QJsonArray();
    for (const QString& trouble : troubles)
        all.append(trouble);
    store(SettingsOpener::kTroublesKey, all);
}

bool UserDefaults::mergeLeftRecovery(SqliteFailure* failure)
{
    if (!unmergedRecovery_)
        return true;
    SettingsDatabase::Opening recovery = SettingsDatabase::open(recoveryPath(), SettingsDatabase::Role::Recovery);
    if (!recovery.database && (recovery.refused || recovery.failure.isDamage())) {
        // Not the user's, or no longer readable: nothing of it can be merged, now or later.
        unmergedRecovery_ = false;
        const std::optional<QString> kept = recovery.refused ? std::nullopt : DamagedFile::moveAside(recoveryPath());
        keepTroubles({QStringLiteral("The changes an earlier session kept in %1 were left out: %2%3.")
                          .arg(recoveryPath(), recovery.failure.message,
                              kept ? QStringLiteral("; the file is kept at ") + *kept : QString())});
        return true;
    }
    std::optional<SettingsChange> merged = recovery.database ? recovery.database->asChange(*database_, failure) : std::nullopt;
    if (!recovery.database)
        *failure = recovery.failure;
    if (!merged || !database_->apply(*merged, failure)) {
        // Until it is merged nothing else is committed here: what this session changes is newer
        // and goes in after it, never under it.
        log(QStringLiteral("⚠️"), QStringLiteral("Could not merge the changes kept in %1 yet: %2").arg(recoveryPath(), failure->message));
        return false;
    }
    recovery.database.reset();
    removeRecoveryFiles(recoveryPath());
    unmergedRecovery_ = false;
    log(QStringLiteral("✅"), QStringLiteral("Merged the changes an earlier session kept in %1").arg(recoveryPath()));
    return true;
}

void UserDefaults::removeRecoveryFiles(const QString& path)
{
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(path + suffix);
}

void UserDefaults::openWorking(const QString& reason)
{
    awaitsFile_ = true;
    unopenedReason_ = reason;
    readTrouble_ = ReadTrouble{filePath_, reason, false};
    // The changes of earlier sessions that waited for the main database are shown meanwhile.
    SettingsDatabase::Opening recovery = SettingsDatabase::open(recoveryPath(), SettingsDatabase::Role::Recovery);
    database_ = recovery.database ? std::move(recovery.database) : SettingsDatabase::inMemory(SettingsDatabase::Role::Recovery);
    log(QStringLiteral("⚠️"), QStringLiteral("Could not open %1 (%2); this session's changes are kept in %3 and merged into it once it "
                                           "opens")
                                 .arg(filePath_, reason, database_->path().isEmpty() ? QStringLiteral("memory") : database_->path()));
    takeEntries(*database_);
    scheduleRetry();
}

void UserDefaults::scheduleRetry()
{
    if (!mainRetry_) {
        mainRetry_ = new QTimer(this);
        mainRetry_->setSingleShot(true);
        connect(mainRetry_, &QTimer::timeout, this, &UserDefaults::retryMain);
    }
    mainRetry_->start(retryMs_);
    retryMs_ = std::min(retryMs_ * 2, kLastRetryMs);
}

void UserDefaults::retryMain()
{
    if (!awaitsFile_)
        return;
    QString reason;
    const int fault = openFault() ? openFault()(filePath_) : 0;
    SettingsOpener::Opened opened;
    if (fault != 0)
        opened.failure = QString::fromLocal8Bit(std::strerror(fault));
    else if (!Paths::makePrivateFolder(QFileInfo(filePath_).absolutePath(), &reason))
        opened.failure = reason;
    else
        opened = SettingsOpener::open(filePath_, legacyPath(), earlierLists());
    SqliteFailure failure;
    std::optional<SettingsChange> merged;
    if (opened.database) {
        merged = database_->asChange(*opened.database, &failure);
        if (merged && !pending_.isEmpty())
            merged->append(pending_);
        if (merged && !opened.database->apply(*merged, &failure))
            merged.reset();
    }
    if (!merged) {
        const QString why = opened.database ? failure.message : opened.failure;
        if (why != unopenedReason_)
            log(QStringLiteral("⚠️"), QStringLiteral("Still cannot open %1: %2").arg(filePath_, why));
        unopenedReason_ = why;
        scheduleRetry();
        return;
    }
    const QString recovery = database_->path();
    const QStringList lists = database_->lists() + opened.database->lists();
    database_ = std::move(opened.database);
    pending_ = {};
    commitFailure_.clear();
    // Merged: the recovery database has nothing the main one lacks.
    if (!recovery.isEmpty())
        removeRecoveryFiles(recovery);
    awaitsFile_ = false;
    readTrouble_.reset();
    if (!opened.damagedCopy.isEmpty())
        readTrouble_ = ReadTrouble{opened.damagedCopy, opened.damage, true};
    keepTroubles(opened.troubles);
    log(QStringLiteral("✅"), QStringLiteral("Opened %1; this session's changes are merged into it").arg(filePath_));
    const QSet<QString> changed = takeEntries(*database_);
    for (const QString& key : changed)
        emit valueChanged(key);
    for (const QString& list : QSet<QString>(lists.cbegin(), lists.cend()))
        if (!changed.contains(list))
            emit valueChanged(list);
    emit noticeChanged();
    emit fileRead();
    checkWhole();
}

QSet<QString> UserDefaults::takeEntries(SettingsDatabase& database)
{
    SqliteFailure failure;
    const std::optional<QList<std::pair<QString, QByteArray>>> entries = database.entries(&failure);
    if (!entries) {
        log(QStringLiteral("⚠️"), QStringLiteral("Could not read the values of %1: %2").arg(filePath_, failure.message));
        return {};
    }
    QHash<QString, Value> values;
    QHash<QString, QByteArray> unreadable;
    for (const auto& [key, entry] : *entries)
        takeEntry(key, entry, values, unreadable);
    QSet<QString> changed;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        if (!values_.contains(it.key()) || !(values_.value(it.key()) == it.value()))
            changed.insert(it.key());
    for (auto it = values_.cbegin(); it != values_.cend(); ++it)
        if (!values.contains(it.key()))
            changed.insert(it.key());
    values_ = std::move(values);
    unreadable_ = std::move(unreadable);
    return changed;
}

void UserDefaults::takeEntry(const QString& key, const QByteArray& entry, QHash<QString, Value>& values, QHash<QString, QByteArray>& unreadable) const
{
    QString error;
    if (std::optional<Value> value = StoredEntry::decode(entry, key, &error)) {
        values.insert(key, *std::move(value));
    } else {
        unreadable.insert(key, entry);
        log(QStringLiteral("⚠️"), QStringLiteral("Skipped a value in %1: %2").arg(filePath_, error));
    }
}

template <typename T>
T UserDefaults::get(const QString& key, T fallback) const
{
    const auto found = values_.constFind(key);
    if (found == values_.cend())
        return fallback;
    const T* value = std::get_if<T>(&found.value());
    return value ? *value : fallback;
}

std::optional<UserDefaults::Value> UserDefaults::value(const QString& key) const
{
    const auto found = values_.constFind(key);
    return found == values_.cend() ? std::nullopt : std::optional(found.value());
}

QString UserDefaults::string(const QString& key, const QString& fallback) const { return get(key, fallback); }
qint64 UserDefaults::integer(const QString& key, qint64 fallback) const { return get(key, fallback); }
double UserDefaults::doubleValue(const QString& key, double fallback) const { return get(key, fallback); }
bool UserDefaults::boolean(const QString& key, bool fallback) const { return get(key, fallback); }
QByteArray UserDefaults::data(const QString& key) const { return get(key, QByteArray()); }
QJsonArray UserDefaults::array(const QString& key) const { return get(key, QJsonArray()); }
QJsonObject UserDefaults::dictionary(const QString& key) const { return get(key, QJsonObject()); }

std::optional<QDateTime> UserDefaults::date(const QString& key) const
{
    const QDateTime value = get(key, QDateTime());
    return value.isValid() ? std::optional(value) : std::nullopt;
}

void UserDefaults::setString(const QString& key, const QString& value) { store(key, value); }
void UserDefaults::setInteger(const QString& key, qint64 value) { store(key, value); }
void UserDefaults::setDouble(const QString& key, double value) { store(key, value); }
void UserDefaults::setBool(const QString& key, bool value) { store(key, value); }
void UserDefaults::setData(const QString& key, const QByteArray& value) { store(key, value); }
void UserDefaults::setArray(const QString& key, const QJsonArray& value) { store(key, value); }
void UserDefaults::setDictionary(const QString& key, const QJsonObject& value) { store(key, value); }

void UserDefaults::setDate(const QString& key, const QDateTime& value)
{
    // The stored form holds milliseconds: keeping the same in memory means a value reads the
    // same before and after a restart.
    store(key, QDateTime::fromMSecsSinceEpoch(value.toMSecsSinceEpoch(), Qt::UTC));
}

void UserDefaults::store(const QString& key, Value value)
{
    const auto found = values_.constFind(key);
    if (found != values_.cend() && found.value() == value)
        return;
    SettingsChange change;
    change.entries.insert(key, StoredEntry::encode(value));
    values_.insert(key, std::move(value));
    unreadable_.remove(key);
    commit(std::move(change));
    emit valueChanged(key);
}

void UserDefaults::remove(const QString& key)
{
    const bool removed = values_.remove(key);
    // Until the main database opens, the session does not see what it holds: the removal is
    // kept for the merge either way.
    if (!removed && !unreadable_.remove(key) && !awaitsFile_)
        return;
    SettingsChange change;
    change.entries.insert(key, std::nullopt);
    commit(std::move(change));
    if (removed)
        emit valueChanged(key);
}

bool UserDefaults::hasDamagedCopies() const
{
    return readTrouble_ || contains(SettingsOpener::kDamagedCopyKey)
        || (storage_ == Storage::OnDisk && (DamagedFile::hasCopies(filePath_) || DamagedFile::hasCopies(legacyPath())));
}

std::optional<QStringList> UserDefaults::importedKeys(const QString& list) const
{
    if (!importing_ || importing_->presentLists.contains(list))
        return std::nullopt;
    return importing_->keys.value(list);
}

QList<StoredRow> UserDefaults::rows(const QString& list)
{
    // A list an import runs without bringing anything to has no rows yet.
    const std::optional<QStringList> imported = importedKeys(list);
    std::optional<QList<StoredRow>> rows;
    SqliteFailure failure;
    if (imported && imported->isEmpty()) {
        rows.emplace();
    } else {
        awaitImport();
        rows = database_->rows(list, &failure);
    }
    if (!rows) {
        log(QStringLiteral("⚠️"), QStringLiteral("Could not read the list \"%1\" of %2: %3").arg(list, filePath_, failure.message));
        return {};
    }
    // Rows waiting for their commit are part of the list already.
    if (const auto waiting = pending_.lists.constFind(list); waiting != pending_.lists.cend()) {
        rows->removeIf([&waiting](const StoredRow& row) {
            return waiting->removed.contains(row.key)
                || std::any_of(waiting->put.cbegin(), waiting->put.cend(), [&row](const StoredRow& put) { return put.key == row.key; });
        });
        rows->append(waiting->put);
        std::stable_sort(rows->begin(), rows->end(), [](const StoredRow& a, const StoredRow& b) { return a.position < b.position; });
    }
    return *std::move(rows);
}

UserDefaults::StoredArray UserDefaults::storedArray(const QString& list)
{
    ArrayOfRows array;
    for (const StoredRow& row : rows(list))
        array.add(row.key, row.position, row.record);
    return array.take();
}

std::function<bool(qsizetype, const UserDefaults::Slices&)> UserDefaults::storedArrayReader(const QString& list)
{
    if (database_->path().isEmpty() || pending_.lists.contains(list)) {
        // Only this connection sees the rows: read now, handed over later.
        return [array = storedArray(list)](qsizetype, const Slices& slices) {
            slices(StoredArray(array)); // nothing is written after it
            return true;
        };
    }
    // While an import runs the database holds none of it yet: a list it brings is read once it
    // is committed (its values let go by then), and one it does not bring holds no rows.
    if (const std::optional<QStringList> imported = importedKeys(list); imported && imported->isEmpty())
        return [](qsizetype, const Slices&) { return true; };
    std::optional<QFuture<QString>> import = importing_ ? std::optional(importing_->done) : std::nullopt;
    return [path = database_->path(), list, import](qsizetype sliceBytes, const Slices& slices) {
        awaitCommitted(import);
        SqliteFailure failure;
        ArrayOfRows array;
        const auto add = [&](const QString& key, qint64 position, QByteArrayView record) {
            array.add(key, position, record);
            if (array.bytes() >= sliceBytes)
                array.writeOver(slices(array.take()));
        };
        if (!SettingsDatabase::readRows(path, list, add, &failure)) {
            logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Could not read the list \"%1\" of %2: %3").arg(list, path, failure.message));
            return false;
        }
        if (!array.isEmpty())
            slices(array.take());
        return true;
    };
}

std::function<QStringList()> UserDefaults::storedKeysReader(const QString& list)
{
    // The keys of a list the import brings are its rows' at once, with what waits for it: a liked
    // wallpaper's heart shows filled while the import is still being committed.
    if (std::optional<QStringList> imported = importedKeys(list)) {
        if (!pending_.lists.contains(list))
            return [keys = *std::move(imported)] { return keys; };
        const SettingsChange::ListChange waiting = pending_.lists.value(list);
        QSet<QString> keys(imported->cbegin(), imported->cend());
        for (const QString& removed : waiting.removed)
            keys.remove(removed);
        for (const StoredRow& put : waiting.put)
            keys.insert(put.key);
        return [keys = keys.values()] { return keys; };
    }
    if (database_->path().isEmpty() || pending_.lists.contains(list)) {
        QStringList keys;
        for (const StoredRow& row : rows(list))
            keys.append(row.key);
        return [keys] { return keys; };
    }
    std::optional<QFuture<QString>> import = importing_ ? std::optional(importing_->done) : std::nullopt;
    return [path = database_->path(), list, import] {
        awaitCommitted(import);
        SqliteFailure failure;
        return SettingsDatabase::readKeys(path, list, &failure).value_or(QStringList());
    };
}

bool UserDefaults::changeRows(const QString& list, const SettingsChange::ListChange& rows)
{
    SettingsChange change;
    change.lists.insert(list, rows);
    return commit(std::move(change));
}

bool UserDefaults::replaceEntryWithRows(const QString& key, const QString& list, const QList<StoredRow>& rows)
{
    SettingsChange change;
    change.entries.insert(key, std::nullopt);
    change.lists.insert(list, {rows, {}});
    values_.remove(key);
    unreadable_.remove(key);
    return commit(std::move(change));
}

bool UserDefaults::commit(SettingsChange change)
{
    pending_.append(change);
    return tryPending();
}

bool UserDefaults::tryPending()
{
    if (pending_.isEmpty() && !unmergedRecovery_)
        return true;
    // The import's worker has the database: what waits goes in after the import (endImport()).
    if (importing_)
        return false;
    SqliteFailure failure;
    if (!mergeLeftRecovery(&failure) || !database_->apply(pending_, &failure)) {
        noteCommitFailure(failure.message);
        return false;
    }
    pending_ = {};
    if (!commitFailure_.isEmpty()) {
        commitFailure_.clear();
        log(QStringLiteral("✅"), QStringLiteral("Saved the changes kept since the last failure to %1").arg(filePath_));
        emit noticeChanged();
    }
    return true;
}

void UserDefaults::noteCommitFailure(const QString& reason)
{
    if (!pendingRetry_) {
        pendingRetry_ = new QTimer(this);
        pendingRetry_->setSingleShot(true);
        pendingRetry_->setInterval(kFirstRetryMs * 3);
        connect(pendingRetry_, &QTimer::timeout, this, &UserDefaults::tryPending);
    }
    pendingRetry_->start();
    if (reason == commitFailure_)
        return;
    commitFailure_ = reason;
    log(QStringLiteral("❌"), QStringLiteral("Could not save to %1: %2; the change is kept and saved as soon as it can be")
                                 .arg(database_->path().isEmpty() ? filePath_ : database_->path(), reason));
    emit saveFailed(filePath_, reason);
    emit noticeChanged();
}

void UserDefaults::flush()
{
    awaitImport();
    if (awaitsFile_)
        retryMain();
    // The file is checked before the log goes into it. A worker's check still reading it ends
    // first: nothing of this store reads its files once it is gone.
    if (checking_)
        checking_->waitForFinished();
    if (!database_->path().isEmpty() && !database_->isChecked()) {
        SqliteFailure failure;
        if (!database_->checkNow(&failure))
            checked(failure);
    }
    tryPending();
    // The quit leaves the log copied into the file: the next launch has nothing to copy.
    database_->checkpoint();
    const bool onlyInMemory = awaitsFile_ && database_->path().isEmpty();
    if (pending_.isEmpty() && !onlyInMemory)
        return;
    // The main database refuses, or only memory holds the changes: the recovery one keeps them
    // for the next launch, which merges them.
    SettingsDatabase::Opening recovery = SettingsDatabase::open(recoveryPath(), SettingsDatabase::Role::Recovery);
    SqliteFailure failure;
    std::optional<SettingsChange> kept = onlyInMemory && recovery.database ? database_->asChange(*recovery.database, &failure)
                                                                          : std::optional(SettingsChange());
    if (kept)
        kept->append(pending_);
    if (recovery.database && kept && recovery.database->apply(*kept, &failure)) {
        log(QStringLiteral("💾"), QStringLiteral("Kept this session's unsaved changes in %1; the next launch merges them").arg(recoveryPath()));
        pending_ = {};
        return;
    }
    const QString reason = recovery.database ? failure.message : recovery.failure.message;
    log(QStringLiteral("❌"), QStringLiteral("Could not keep this session's unsaved changes anywhere: %1").arg(reason));
    emit unsavedLost(reason);
}

QString UserDefaults::notice() const
{
    if (!commitFailure_.isEmpty())
        return tr("Your latest changes could not be saved (%1). Quorvelle keeps them and saves them as soon as the disk "
                  "can be written again; until then they are not on disk, and if Quorvelle quits first they are lost.")
            .arg(commitFailure_);
    if (awaitsFile_ && database_->path().isEmpty())
        return tr("Your settings and library cannot be opened right now (%1), nor can a recovery copy be written beside "
                  "them. What you change lasts only until Quorvelle quits, unless they open before.")
            .arg(unopenedReason_);
    if (awaitsFile_)
        return tr("Your settings and library cannot be opened right now (%1). What you change is kept and added to them as "
                  "soon as they open.")
            .arg(unopenedReason_);
    QStringList lines;
    const QString copy = string(SettingsOpener::kDamagedCopyKey);
    if (!copy.isEmpty())
        lines.append(tr("Your settings and library were found damaged. Everything that could still be read was kept, and the "
                        "damaged file is kept at %1.")
                         .arg(copy));
    for (const QJsonValue& trouble : array(SettingsOpener::kTroublesKey))
        lines.append(trouble.toString());
    return lines.join(u'\n');
}

bool UserDefaults::canDismissNotice() const
{
    return !awaitsFile_ && commitFailure_.isEmpty() && (contains(SettingsOpener::kDamagedCopyKey) || contains(SettingsOpener::kTroublesKey));
}

void UserDefaults::dismissNotice()
{
    remove(SettingsOpener::kDamagedCopyKey);
    remove(SettingsOpener::kTroublesKey);
    emit noticeChanged();
}
