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
// key, the keys newest first, stored as one row per record in that order. It keeps the lists'
// invariants (every listed key has its record and the reverse, no key twice, no record without
// a key); its owning service publishes the changes each step reports. A save writes only the
// rows its steps touched: a like is one row put, an unlike one removed. GUI thread only.
class PersonalWallpaperList {
public:
    // The member that keys each stored wallpaper's row.
    static inline const QString kIdField = QStringLiteral("key");

    PersonalWallpaperList(UserDefaults& defaults, QString key, StoredList::Lines lines);

    const WallpapersByKey& records() const { return records_; }
    const QList<qint64>& order() const { return order_; }
    // The records newest first.
    QList<WallpaperModel> inOrder() const { return inOrder(records_, order_); }

    // The stored array decoded and keyed, ready to be taken in: built on a worker, so that
    // taking a long list in costs the GUI thread nothing, and its records are never held twice.
    struct Decoded {
        // What decoding found; its records are those below.
        StoredList::Decoded<WallpaperModel> stored;
        WallpapersByKey records;
        QList<qint64> order;
        // The position of each key of `order`.
        QList<qint64> positions;
        // The records that decoded but are left out (no key, a repeated key), with why.
        QStringList skipped;
    };

    static constexpr qsizetype kUnlimited = std::numeric_limits<qsizetype>::max();

    // Reads the stored rows. A record without a key, and a later record of a key already read
    // (the first one wins), are left out with a line (their rows stay). A list longer than
    // `keepAtMost` (a foreign or damaged store) is cut to its first keys and stored so.
    void load(qsizetype keepAtMost = kUnlimited);
    // The same in two halves: the stored rows are read and decoded on a worker (none when none
    // are stored, with its line), and takeIn() makes what it found the list. The rows come in
    // slices of about `sliceBytes`, each decoded while the next is read (4 MiB keeps the decoding
    // threads busy).
    // It finishes only after `before`, whose end the GUI thread then hears of first.
    static constexpr qsizetype kSliceBytes = 4 << 20;
    QFuture<Decoded> decodeOnWorker(qsizetype sliceBytes = kSliceBytes, QFuture<QSet<qint64>> before = {});
    // The keys of the stored rows, read on a worker: far quicker than the records, they tell
    // which keys the list holds before the records arrive. A record that then does not decode, or
    // lies in another key's row, is not in the list after all.
    QFuture<QSet<qint64>> storedKeysOnWorker();
    void takeIn(Decoded decoded, qsizetype keepAtMost = kUnlimited);
    // The load left something out (a stored value that cannot be read, a skipped record).
    bool isIncomplete() const { return stored_.isIncomplete(); }
    // Reads the stored value again in place of the list (the settings file read late).
    void reload();
    // `reloaded` runs after the list was read again because its stored value changed other than
    // through it, for as long as `context` lives.
    void reloadWhenReplaced(QObject* context, std::function<void()> reloaded);
    // Stores the list as it is now: the rows of what changed since the last save or read.
    void save();

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
    static QList<WallpaperModel> inOrder(const WallpapersByKey& records, const QList<qint64>& order);

    StoredList stored_;
    WallpapersByKey records_;
    QList<qint64> order_;
    // The keys as stored, at their positions, and those whose record changed since.
    QList<qint64> storedOrder_;
    QList<qint64> storedPositions_;
    QSet<qint64> changed_;
};
