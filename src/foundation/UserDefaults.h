#pragma once

#include "foundation/JournalSync.h"
#include "foundation/JsonElementChanges.h"
#include "foundation/SettingsJournal.h"
#include "foundation/WriteBehind.h"

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

// The application's user-defaults store: typed values under text keys, one domain per JSON
// file "<domain>.json" in the configuration folder's "Quorvelle/", rewritten whole and atomically
// on every change. Each value keeps its type in the file ({"type": "data", "value": "<base64>"}),
// so data and text, integers and doubles come back as they went in. A file that no longer parses
// is moved aside ("<domain>.json.damaged-<time>") and every entry that still reads is kept. A
// store built in memory (for tests) never reads or writes a file. The folder and the file are
// the user's alone (0700, 0600). A store that holds a large value (a long liked list: tens of
// megabytes) is written behind, on a worker of its own, so a change never waits for the disk;
// changes made while a write runs are folded into one more write after it, and flush() (at quit,
// and on destruction) waits for what is still to be written. A write that fails (a read-only
// disk, a file where the folder goes) keeps the values in memory, is announced once per reason,
// and is tried again every kRetryMs until it lands. A data value may be kept by its owner in a
// form of its own (a DataSource), so that a long list is not held twice.
//
// A store that writes behind journals its changes instead: each change is one small record
// appended and synced to "<domain>.json.journal" before the setter returns (a change to a long
// list is the few elements it added or dropped, as its owner tells them; its record is synced
// behind, on a worker, and the owner told once it is on disk), and the file is
// rewritten from the values only now and then (the journal past a size, or no change for a
// while), on the worker; the journal is emptied only after the new file is synced. A launch reads
// the file, then replays the journal; a torn last record is dropped with a line. The file alone
// always reads as earlier versions wrote it, and names the last record it holds, so a record is
// never replayed twice. A file that cannot be read for a passing reason (no free descriptor, an
// I/O error) or that is no file is left where it is and is read again now and then (kFirstRereadMs,
// twice as long after each miss up to kLastRereadMs, and soon after each change); until it reads
// nothing is written over it, and the changes made meanwhile are kept in order. Once it reads, its
// values are the base and those changes are made again on top of them, as changes: a list or an
// object named by mergeByElement() gains or loses the elements the session added or dropped, any
// other value is replaced. The store then saves as usual and announces each value that changed. One
// found damaged, or unreadable by its mode, is moved aside. Lives on the GUI thread.
class UserDefaults : public QObject {
    Q_OBJECT

public:
    enum class Storage { OnDisk, InMemory };

    // A data value kept by its owner (a long list, decoded) that becomes bytes only when the
    // file is written, piece by piece: the store never holds those bytes beside the owner's form.
    class DataSource {
    public:
        using Append = std::function<void(QByteArrayView)>;
        // Hands the bytes to `append` in order. Runs on any thread.
        using Write = std::function<void(const Append&)>;

        virtual ~DataSource() = default;
        // The value as it is now, to be written later anywhere. Called on the GUI thread.
        virtual Write snapshot() const = 0;
        // Roughly the size of the bytes: a long value makes the store write behind.
        virtual qsizetype sizeHint() const = 0;

        // For a value that is a JSON array: `removed` elements from `at` give way to `inserted`
        // (each an element's compact JSON).
        struct Splice {
            qsizetype at = 0;
            qsizetype removed = 0;
            QList<QByteArray> inserted;
        };
        // The splices, applied in order, that make the value the store took last (taken()) into
        // the value now; nothing when they are not known or too many (the store then writes the
        // whole value). GUI thread.
        virtual std::optional<QList<Splice>> changes() const { return std::nullopt; }
        // The store took the value as it is now. GUI thread.
        virtual void taken() const {}
    };

    // What a launch could not read: the file moved aside (where it is now), or left in place
    // for a passing failure or because it is no file. Nothing is written over it this session.
    struct ReadTrouble {
        QString keptAt;
        QString reason;
        bool movedAside = false;
    };

    static inline const QString kStandardDomain = QStringLiteral("standard");
    static constexpr int kRetryMs = 3000;
    // How soon an unread file is read again, at first and at most.
    static constexpr int kFirstRereadMs = 1000;
    static constexpr int kLastRereadMs = 60 * 1000;
    // Values larger than this, together, make the store write behind.
    static constexpr qsizetype kWriteBehindBytes = 1 << 20;
    // Stored Base64 this long is decoded apart from the rest of the file.
    static constexpr qsizetype kLongDataBytes = 64 << 10;
    // A journal record larger than this is a bulk change: the whole file is written instead.
    static constexpr qsizetype kJournalRecordBytes = 64 << 10;
    // The file is rewritten from the values once the journal is past this (or an eighth of the
    // values, whichever is more), or when no change came for kCheckpointIdleMs.
    static constexpr qsizetype kJournalBytes = 4 << 20;
    static constexpr int kCheckpointIdleMs = 5 * 60 * 1000;
    // The entry in the file naming the last journal record it holds.
    static inline const QString kJournalSequenceKey = QStringLiteral("Quorvelle.journalSequence");

    // The standard domain, on disk.
    explicit UserDefaults(QObject* parent = nullptr);
    explicit UserDefaults(const QString& domain, Storage storage = Storage::OnDisk, QObject* parent = nullptr);
    // Writes what is still to be written.
    ~UserDefaults() override;

    static UserDefaults& standard();

    const QString& domain() const { return domain_; }
    // The domain's file, also in memory (where it is never touched).
    const QString& filePath() const { return filePath_; }
    QString journalPath() const { return filePath_ + QStringLiteral(".journal"); }
    // Set when this launch could not read the file; the user is told.
    const std::optional<ReadTrouble>& readTrouble() const { return readTrouble_; }
    // Called from any thread while a write moves, so an exit waiting for it is not cut short.
    static void setProgressListener(void (*listener)());
    // The file could not be read yet: changes are kept in memory until it can, and then saved.
    bool awaitsFile() const { return awaitsFile_; }
    // A change made to the JSON held under `key` (data, or an array or dictionary value) while
    // the file is unread lands on the file's value element by element: an array's objects are told
    // apart by their member `idField`, an object's members (an empty `idField`) by their names.
    void mergeByElement(const QString& key, const QString& idField);
    // Tests: an errno that reading the file at `path` fails with, or 0 to read it.
    using ReadFault = std::function<int(const QString& path)>;
    static void setReadFault(ReadFault fault);

    // Readable entries only: an unreadable one reads as absent through every getter.
    bool contains(const QString& key) const { return values_.contains(key); }
    QStringList keys() const { return values_.keys(); }
    // The file holds an entry under the key that this version cannot read (a bad value, an
    // unknown type). It stays in the file until the key is set or removed, so a caller that is
    // about to write the key backs it up first (copyEntry).
    bool isUnreadable(const QString& key) const { return unreadable_.contains(key); }
    // Stores the entry under `from`, readable or not, under `to` as well; false when there is none.
    bool copyEntry(const QString& from, const QString& to);
    // A damaged file of this domain was moved aside, now or by an earlier launch, and is still
    // there: what was stored before may be missing, so nothing here proves a first launch.
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

    void setString(const QString& key, const QString& value);
    void setInteger(const QString& key, qint64 value);
    void setDouble(const QString& key, double value);
    void setBool(const QString& key, bool value);
    void setData(const QString& key, const QByteArray& value);
    // Kept in UTC, to the millisecond.
    void setDate(const QString& key, const QDateTime& value);
    void setArray(const QString& key, const QJsonArray& value);
    void setDictionary(const QString& key, const QJsonObject& value);
    void remove(const QString& key);
    // Runs on the GUI thread once a change is on disk.
    using Saved = std::function<void()>;
    // The data under `key` is now what `source` makes, and changes with it: the owner calls this
    // again after each change (each call is a change, written and announced). `saved` runs once
    // the change is on disk: a journaled change's record is synced on a worker, so the setter
    // never waits for the disk; a change written whole is on disk once its write lands (at once,
    // unless the store writes behind). A store in memory, or one that keeps this session's changes
    // in memory, runs it at once.
    void setDataSource(const QString& key, std::shared_ptr<const DataSource> source, Saved saved = {});
    // The owner of the data stored under `key` keeps it from now on, in a form that makes the same
    // value: the store lets go of the bytes and writes nothing now. Nothing happens when the key
    // holds no data.
    void keepDataIn(const QString& key, std::shared_ptr<const DataSource> source);

    // The last write failed and is being tried again.
    bool hasUnsavedChanges() const { return !writeFailure_.isEmpty(); }
    // A write runs behind, or is waiting for the one that runs.
    bool isWriting() const { return writer_.isBusy(); }
    // A journal record appended by setDataSource() is not synced yet.
    bool isSyncing() const { return sync_ && sync_->isBusy(); }
    // Rewrites the file from the values now (behind, when the store writes behind), so that the
    // journal can be emptied.
    void checkpoint();
    // Waits for the write under way and writes any change made since that the journal does not
    // hold, before returning.
    void flush();

signals:
    // A key's value or type changed, or the key was removed; storing an equal value is no change.
    void valueChanged(const QString& key);
    // The file could not be written, for a reason not announced since the last good write.
    void saveFailed(const QString& filePath, const QString& reason);
    // The file that could not be read at launch was read at last: its values are in (with this
    // session's changes on top), and valueChanged told each key that changed. Whoever read a value
    // only at its start reads it again.
    void fileRead();

private:
    using Source = std::shared_ptr<const DataSource>;
    // The alternatives' order is the order of the type tags written to the file; a source is data.
    using Value = std::variant<QByteArray, QString, qint64, double, bool, QDateTime, QJsonArray, QJsonObject, Source>;
    // The sources' values as they are when a write starts, by key.
    using Snapshots = QHash<QString, DataSource::Write>;

    template <typename T>
    T get(const QString& key, T fallback) const;
    void store(const QString& key, Value value);
    void load();
    // Reads the file again; on success makes the changes kept meanwhile on its values.
    void reread();
    void scheduleReread(int delayMs);
    // Keeps the change just made under `key` for when the file reads.
    void keepUntilRead(const QString& key);
    // Makes the kept changes on the values just read; the keys they touched.
    QSet<QString> makeKeptChanges();
    // Reads a file that holds long data values with those decoded apart; false (nothing read)
    // when it holds none or the file is to be read whole.
    bool readLongDataApart(const QByteArray& bytes);
    void readEntry(const QString& key, const QJsonValue& entry);
    // The number of entries kept.
    qsizetype salvage(const QByteArray& bytes, const QString& reason);
    void moveAside(const QString& reason, qsizetype salvaged);
    // Leaves the file where it is and never writes over it this session.
    void keepInPlace(const QString& reason);
    void readJournal();
    void replay(const QList<QByteArray>& records);
    // A change under `key`: journaled when the store writes behind, else written whole. With
    // `saved`, a journal record is synced behind, and `saved` runs once the change is on disk.
    void save(const QString& key, const std::optional<QList<DataSource::Splice>>& splices = std::nullopt, Saved saved = {});
    bool journal(const QString& key, const std::optional<QList<DataSource::Splice>>& splices, Saved& saved);
    // A record synced behind landed, or failed: then the change is written whole.
    void synced(const QString& key, const QString& failure, Saved saved);
    void writeWhole(const QString& key, Saved saved = {});
    void save();
    bool writesBehind() const;
    // The bytes of the data values, roughly for those kept by their owners.
    static qsizetype dataSize(const QHash<QString, Value>& values);
    Snapshots snapshots() const;
    static QByteArray bytesOf(const DataSource::Write& write);
    // Writes the values to the file, with the last journal record they hold; the reason it
    // failed, or nothing.
    static QString write(const QString& filePath, const QHash<QString, Value>& values, const Snapshots& sources,
        const QJsonObject& unreadable, qint64 sequence);
    static QByteArray fileBytes(const QHash<QString, Value>& values, const Snapshots& sources, const QJsonObject& unreadable,
        qint64 sequence);
    // Appends the entry's JSON ({"type": ..., "value": ...}) for a value, or an unreadable one.
    static void appendEntry(QByteArray& bytes, const Value* value, const QJsonValue& unreadable, const DataSource::Write* source);
    // A write that holds the journal up to `sequence`, and the changes up to `change`, ended.
    void written(const QString& failure, qint64 sequence, qint64 change);
    // Drops the records the file now holds.
    void compactJournal(qint64 sequence);
    void saveFailedFor(const QString& reason);

    QString domain_;
    QString filePath_;
    const Storage storage_;
    // The file could not be parsed at this launch (moved aside or not).
    bool foundDamaged_ = false;
    // False in memory, and when a damaged file could not be moved aside (it is never overwritten).
    bool persists_;
    QHash<QString, Value> values_;
    // Entries this version cannot read (an unknown type, a bad value): skipped, and written back
    // unchanged until the key is set or removed, so nothing stored is lost.
    QJsonObject unreadable_;
    // Why the last write failed; empty once a write landed.
    QString writeFailure_;
    QTimer* retry_ = nullptr;
    std::optional<ReadTrouble> readTrouble_;
    // Present while the store is on disk.
    std::unique_ptr<SettingsJournal> journal_;
    // Made by the first record synced behind.
    std::unique_ptr<JournalSync> sync_;
    // Changes counted as made, and the steps waiting for a whole write that holds theirs.
    qint64 changes_ = 0;
    QList<std::pair<qint64, Saved>> afterWrite_;
    // The last journal record the file holds, and the last one written.
    qint64 fileSequence_ = 0;
    qint64 lastSequence_ = 0;
    // Keys changed since the last whole write and not journaled: a later change to one of them
    // is not journaled either (it would be replayed on the old value) until a write holds it.
    QSet<QString> unjournaled_;
    // The same, for the write under way.
    QSet<QString> writing_;
    // The journal's own trouble, told once.
    QString journalFailure_;
    QTimer* idle_ = nullptr;
    WriteBehind writer_;

    // A change made while the file was unread: a whole value (none when removed), or what it did
    // to the elements of a value merged by element.
    struct KeptChange {
        QString key;
        std::optional<Value> value;
        std::optional<QList<JsonElementChanges::Change>> elements;
    };
    bool awaitsFile_ = false;
    QList<KeptChange> kept_;
    // The member naming the elements of each value merged by element, and that value's bytes
    // as the last kept change left it.
    QHash<QString, QString> idFields_;
    QHash<QString, QByteArray> keptBytes_;
    QTimer* reread_ = nullptr;
    bool rereadSoon_ = false;
    // The reason last told for the file staying unread.
    QString unreadReason_;
};
