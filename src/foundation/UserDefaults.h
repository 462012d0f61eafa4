#pragma once

#include "foundation/SettingsChange.h"
#include "foundation/StoredEntry.h"

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QFuture>
#include <QFutureWatcherBase>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class SettingsDatabase;
struct SqliteFailure;
namespace SettingsOpener {
struct Opened;
} // namespace SettingsOpener

// The application's user-defaults store: typed values under text keys, and lists of records kept
// as rows, in one SQLite database per domain, "<domain>.sqlite3" in the configuration folder's
// "Quorvelle/" (the folder 0700, the file 0600, never opened through a symbolic link). Each change
// is one transaction, committed and synced before the setter returns: what is logged as saved is
// on disk. A list's change touches only the rows it changes, each by its key.
//
// The first launch of this store imports the settings file earlier versions wrote
// ("<domain>.json" and its journal) in one transaction, the lists in it straight into rows, and
// keeps that file, renamed, beside the database; where set so, that transaction is committed on
// a worker while the session already reads what it brings (setImportInBackground()). A database found damaged (by SQLite, or by its check at open) is copied aside whole
// ("<file>.damaged-<time>", never removed, never kept twice), whatever still reads is taken into
// a new one, and the user is told, by readTrouble() and by notice() until they dismiss it.
// A database that cannot be opened for a passing reason (no free descriptor, an I/O error, a
// folder or a link in its place) is tried again now and then; meanwhile the session's changes go
// into a recovery database beside it ("<domain>.recovery.sqlite3", or memory when even that does
// not open), and once the main one opens they are merged into it by key: the session's values and
// rows win, what the session removed goes, everything else stays. A change that cannot be
// committed (a full disk) is kept and tried again until it lands, and the user is told at once;
// a quit keeps it in the recovery database, or says that it could not.
// A store in memory (tests) never touches a file. Lives on the GUI thread.
class UserDefaults : public QObject {
    Q_OBJECT

public:
    enum class Storage { OnDisk, InMemory };
    using Value = StoredEntry::Value;

    // What a launch could not read: kept where it is now (a damaged file's copy), or the file
    // left in place for a passing failure.
    struct ReadTrouble {
        QString keptAt;
        QString reason;
        bool movedAside = false;
    };

    // A list's records as stored: the JSON array of them in order, and each one's key and position.
    struct StoredArray {
        QByteArray text = "[]";
        QStringList keys;
        QList<qint64> positions;
        // Where each row's record lies in the text ([begin, size)): one that does not read costs
        // only itself.
        QList<std::pair<qsizetype, qsizetype>> ranges;
    };

    static inline const QString kStandardDomain = QStringLiteral("standard");
    // How soon an unopened database is tried again, at first and at most.
    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kLastRetryMs = 60 * 1000;

    // The standard domain, on disk.
    explicit UserDefaults(QObject* parent = nullptr);
    explicit UserDefaults(const QString& domain, Storage storage = Storage::OnDisk, QObject* parent = nullptr);
    // Commits what is still to be committed.
    ~UserDefaults() override;

    static UserDefaults& standard();

    const QString& domain() const { return domain_; }
    // The domain's database, also in memory (where it is never touched).
    const QString& filePath() const { return filePath_; }
    QString recoveryPath() const;
    // The file earlier versions kept the domain in.
    QString legacyPath() const { return legacyPathOf(domain_); }
    // The same for any domain, on disk.
    static QString databasePathOf(const QString& domain);
    static QString legacyPathOf(const QString& domain);
    // Set when this launch could not read the database; the user is told.
    const std::optional<ReadTrouble>& readTrouble() const { return readTrouble_; }
    // The main database is not open yet: changes go to the recovery database until it is.
    bool awaitsFile() const { return awaitsFile_; }
    // The open database was checked whole and found sound (its check runs on a worker after the
    // launch, or at the latest at the quit).
    bool isCheckedWhole() const;
    // Tests: an errno that opening the database at `path` fails with, or 0 to open it.
    using OpenFault = std::function<int(const QString& path)>;
    static void setOpenFault(OpenFault fault);
    // The lists that earlier versions kept as one data value under their key, each with the
    // member that keys its records: the import of their settings file takes them straight into
    // rows. Set before a store opens.
    static void setEarlierLists(QHash<QString, QString> idFields);
    // The import of an earlier settings file is committed on a worker while the launch goes on:
    // its values read at once, the keys of its lists too, and a list's records once it is
    // committed; changes made meanwhile wait for it and are committed right after it. Set
    // before a store opens; otherwise a store opens with its import committed.
    static void setImportInBackground(bool inBackground);
    // Tests: runs on the import's worker before it commits.
    static void setImportHold(std::function<void()> hold);
    // The earlier settings file is being imported on a worker (setImportInBackground()).
    bool importsEarlierSettings() const { return importing_.has_value(); }

    // Readable entries only: an unreadable one reads as absent through every getter.
    bool contains(const QString& key) const { return values_.contains(key); }
    QStringList keys() const { return values_.keys(); }
    // The database holds an entry under the key that this version cannot read. It stays until
    // the key is set or removed.
    bool isUnreadable(const QString& key) const { return unreadable_.contains(key); }
    // A damaged copy of this domain was kept, now or by an earlier launch: what was stored before
    // may be missing, so nothing here proves a first launch.
    bool hasDamagedCopies() const;

    // Each getter gives the fallback when the key is absent or holds a value of another type.
    QString string(const QString& key, const QString& fallback = {}) const;
    qint64 integer(const QString& key, qint64 fallback = 0) const;
    double doubleValue(const QString& key, double fallback = 0) const;
    bool boolean(const QString& key, bool fallback = false) const;
    QByteArray data(const QString& key) const;
    std::optional<QDateTime> date(const QString& key) const;
    QJsonArray array(const QString& key) const;
    QJsonObject dictionary(const QString& key) const;
    // The value under `key` whatever its type; nothing when absent.
    std::optional<Value> value(const QString& key) const;

    void setString(const QString& key, const QString& value);
    void setInteger(const QString& key, qint64 value);
    void setDouble(const QString& key, double value);
    void setBool(const QString& key, bool value);
    void setData(const QString& key, const QByteArray& value);
    // Kept in UTC, to the millisecond.
    void setDate(const QString& key, const QDateTime& value);
    void setArray(const QString& key, const QJsonArray& value);
    void setDictionary(const QString& key, const QJsonObject& value);
    void setValue(const QString& key, Value value) { store(key, std::move(value)); }
    void remove(const QString& key);

    // The rows of `list` in order, with those waiting for their commit.
    QList<StoredRow> rows(const QString& list);
    // The same as one JSON array.
    StoredArray storedArray(const QString& list);
    // The same, for a worker: reads on a connection of its own and hands the rows over in order,
    // as arrays of about `sliceBytes` of records each, so that a long list is never held whole as
    // text beside what is made of it. `slices` gives back the text of a slice it is done with (or
    // none), which a later slice is written over: writing a long list into fresh memory would
    // cost a page fault every few records. False when the rows cannot be read.
    using Slices = std::function<QByteArray(StoredArray&& slice)>;
    std::function<bool(qsizetype sliceBytes, const Slices& slices)> storedArrayReader(const QString& list);
    // The keys of the same rows, in no order, for a worker the same way; none when they cannot be
    // read (the rows' reader tells why).
    std::function<QStringList()> storedKeysReader(const QString& list);
    // Removes and puts rows of `list` in one transaction; true once committed. Otherwise the change
    // is kept, tried again and saveFailed() told.
    bool changeRows(const QString& list, const SettingsChange::ListChange& change);
    // The rows of `list` made from a value earlier versions stored under `key` (which goes), in
    // one transaction; true once committed.
    bool replaceEntryWithRows(const QString& key, const QString& list, const QList<StoredRow>& rows);

    // Changes not committed yet, being tried again.
    bool hasUnsavedChanges() const { return !pending_.isEmpty(); }
    // Why the changes not committed yet could not be; empty while every change is committed.
    const QString& unsavedReason() const { return commitFailure_; }
    // Tries what is not committed once more, into the recovery database if the main one refuses.
    void flush();

    // What Settings tells of the stored state while it matters: a damaged copy kept (until
    // dismissed), or the database not opened (while that lasts). Empty when all is well.
    QString notice() const;
    bool canDismissNotice() const;
    void dismissNotice();

signals:
    // A key's value or type changed, or the key was removed, or a list's rows changed other than
    // through changeRows() (a merge); storing an equal value is no change.
    void valueChanged(const QString& key);
    // A change could not be committed, for a reason not announced since the last commit.
    void saveFailed(const QString& filePath, const QString& reason);
    // At the quit, changes that could not be committed could not be kept for the next launch
    // either: they are lost.
    void unsavedLost(const QString& reason);
    // The database that could not be opened at launch opened at last: its values are in (with
    // this session's changes merged), and valueChanged told each key and list that changed.
    void fileRead();
    void noticeChanged();
    // The check of the whole file, after the launch, found it damaged: it was copied aside and
    // replaced by what still reads (readTrouble() says where), and valueChanged told what changed.
    void damageFound();

private:
    template <typename T>
    T get(const QString& key, T fallback) const;
    void store(const QString& key, Value value);
    // Commits `change`, after whatever waits; false when it waits too.
    bool commit(SettingsChange change);
    // Commits what waits; false (the failure noted) when it still waits.
    bool tryPending();
    // Keeps what could not be committed trying, and tells a reason not told since the last commit.
    void noteCommitFailure(const QString& reason);
    void openMain();
    // Takes the values of a ready import in and commits it on a worker.
    void startImport(SettingsOpener::Opened& opened);
    // Waits for the import on its worker to end; what it could not import is then kept, and the
    // changes made meanwhile are committed.
    void awaitImport();
    void endImport();
    // The keys of the rows of `list` while an import runs, for it brings them all (none where it
    // brings none); nothing when the database has to be read.
    std::optional<QStringList> importedKeys(const QString& list) const;
    void openWorking(const QString& reason);
    // Logs what the opening left out or set aside, and keeps it for the notice.
    void keepTroubles(const QStringList& troubles);
    // Checks the main database whole on a worker; the launch goes on meanwhile.
    void checkWhole();
    void checked(const SqliteFailure& failure);
    // Copies the damaged main database aside and goes on with what still reads of it.
    void replaceDamaged(const QString& damage);
    // Merges what an earlier session kept in the recovery database into the main one; false
    // (and why) while it cannot be.
    bool mergeLeftRecovery(SqliteFailure* failure);
    static void removeRecoveryFiles(const QString& path);
    void scheduleRetry();
    void retryMain();
    // Takes the database's entries in as the values; the keys that changed.
    QSet<QString> takeEntries(SettingsDatabase& database);
    // Reads one stored entry into `values` or, when this version cannot read it, `unreadable`.
    void takeEntry(const QString& key, const QByteArray& entry, QHash<QString, Value>& values, QHash<QString, QByteArray>& unreadable) const;
    void log(const QString& emoji, const QString& message) const;

    QString domain_;
    QString filePath_;
    const Storage storage_;
    // Where changes go: the main database, or the recovery one while the main does not open.
    std::unique_ptr<SettingsDatabase> database_;
    bool awaitsFile_ = false;
    QHash<QString, Value> values_;
    // Entries this version cannot read, as stored.
    QHash<QString, QByteArray> unreadable_;
    std::optional<ReadTrouble> readTrouble_;
    // Changes made and not yet committed, in order.
    SettingsChange pending_;
    // The recovery database an earlier session left waits to be merged: nothing is committed
    // to the main one before it, or an older change would land over a newer one.
    bool unmergedRecovery_ = false;
    // Counts the checks started: a check's answer counts only while no other database came since.
    int checkRun_ = 0;
    QPointer<QFutureWatcherBase> checking_;
    QString commitFailure_;
    QTimer* pendingRetry_ = nullptr;
    QTimer* mainRetry_ = nullptr;
    int retryMs_ = kFirstRetryMs;
    QString unopenedReason_;
    // An import committed on a worker, which uses the database meanwhile: the keys of the rows it
    // brings to each list, the lists the database held rows of before it, and what it could not
    // import with the opening's own troubles, kept once it is committed. Its one result comes
    // once it is committed (why not, or nothing); it is done once the log is in the file.
    struct Importing {
        QHash<QString, QStringList> keys;
        QStringList presentLists;
        QFuture<QString> done;
        QStringList troubles;
    };
    std::optional<Importing> importing_;
};
