#pragma once

#include "library/StoredList.h"
#include "library/WallpapersByKey.h"

#include <QFuture>
#include <QList>
#include <QSet>
#include <QStringList>

#include <functional>

#include <limits>
#include <memory>

// The body of a personal wallpaper list (liked, recently applied, own): each record under its
// key, the keys newest first, stored as one array of records in that order. It keeps the lists'
// invariants (every listed key has its record and the reverse, no key twice, no record without
// a key); its owning service publishes the changes each step reports. Once read or saved, the
// records are the stored value's only copy: the defaults store makes the stored array from them
// when it writes its file (behind, for a long list). GUI thread only.
class PersonalWallpaperList {
public:
    PersonalWallpaperList(UserDefaults& defaults, QString key, StoredList::Lines lines);

    const WallpapersByKey& records() const { return entries_->records; }
    const QList<qint64>& order() const { return entries_->order; }
    // The records newest first.
    QList<WallpaperModel> inOrder() const { return inOrder(entries_->records, entries_->order); }

    // The stored array decoded and keyed, ready to be taken in: built on a worker, so that
    // taking a long list in costs the GUI thread nothing, and its records are never held twice.
    struct Decoded {
        // What decoding found; its records are those below.
        StoredList::Decoded<WallpaperModel> stored;
        WallpapersByKey records;
        QList<qint64> order;
        // The records that decoded but are left out (no key, a repeated key), with why.
        QStringList skipped;
    };

    static constexpr qsizetype kUnlimited = std::numeric_limits<qsizetype>::max();

    // Reads the stored array. A record without a key, and a later record of a key already read
    // (the first one wins), are left out with a line. A list longer than `keepAtMost` (a foreign
    // or damaged store) is cut to its first keys and stored so, after keeping the stored value in
    // the backup.
    void load(qsizetype keepAtMost = kUnlimited);
    // The same in two halves: the stored array is decoded on a worker (none when nothing
    // readable is stored, with its line), and takeIn() makes what it found the list.
    std::optional<QFuture<Decoded>> decodeOnWorker();
    void takeIn(Decoded decoded, qsizetype keepAtMost = kUnlimited);
    // The load left something out (a stored value that cannot be read, a skipped record).
    bool isIncomplete() const { return stored_.isIncomplete(); }
    // Reads the stored value again in place of the list (the settings file read late).
    void reload();
    // `reloaded` runs after the list was read again because its stored value changed other than
    // through it, for as long as `context` lives.
    void reloadWhenReplaced(QObject* context, std::function<void()> reloaded);
    // Stores the list as it is now; the store writes it when it writes its file.
    void save();
    // What the store writes the list from.
    std::shared_ptr<const UserDefaults::DataSource> source() const { return entries_; }

    // Each step reports whether it changed anything.
    bool removeFromOrder(qint64 key);
    void insertAtFront(qint64 key);
    // The key moves to the front (an earlier place is given up).
    bool moveToFront(qint64 key);
    // Stores the record under its key, which must be present, replacing an earlier one.
    bool put(const WallpaperModel& wallpaper);
    bool removeRecord(qint64 key);
    // Drops the records of the keys beyond the first `count`, then cuts the order to them.
    bool keepFirst(qsizetype count);
    bool clearRecords();
    bool clearOrder();

private:
    // The list's body, which the defaults store reads through when it writes.
    struct Entries : UserDefaults::DataSource {
        WallpapersByKey records;
        QList<qint64> order;

        // The keys as the store took them, and those whose record changed since: a like or an
        // unlike reaches the store as the one record it adds or drops.
        mutable std::optional<QList<qint64>> takenOrder;
        mutable QSet<qint64> changed;
        // The keys changes() last read, which taken() takes when nothing changed since.
        mutable std::optional<QList<qint64>> readKeys;

        Write snapshot() const override;
        qsizetype sizeHint() const override;
        std::optional<QList<Splice>> changes() const override;
        void taken() const override;
        // The keys of the stored records, in stored order.
        QList<qint64> storedKeys() const;
    };

    static QList<WallpaperModel> inOrder(const WallpapersByKey& records, const QList<qint64>& order);
    // Decodes the stored array and puts each record under its key, in stored order. Any thread.
    static Decoded decode(const QByteArray& data);

    StoredList stored_;
    const std::shared_ptr<Entries> entries_ = std::make_shared<Entries>();
};
