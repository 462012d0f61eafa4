#pragma once

#include "foundation/WriteBehind.h"
#include "library/StoredList.h"
#include "library/WallpapersByKey.h"

#include <QFuture>
#include <QList>

// The body of a personal wallpaper list (liked, recently applied, own): each record under its
// key, the keys newest first, stored as one array of records in that order. It keeps the lists'
// invariants (every listed key has its record and the reverse, no key twice, no record without
// a key); its owning service publishes the changes each step reports. GUI thread only.
class PersonalWallpaperList {
public:
    PersonalWallpaperList(UserDefaults& defaults, QString key, StoredList::Lines lines);

    const WallpapersByKey& records() const { return records_; }
    const QList<qint64>& order() const { return order_; }
    // The records newest first.
    QList<WallpaperModel> inOrder() const { return inOrder(records_, order_); }

    using Decoded = StoredList::Decoded<WallpaperModel>;

    // Reads the stored array. A record without a key, and a later record of a key already read
    // (the first one wins), are left out with a line.
    void load();
    // The same in two halves: the stored array is decoded on a worker (none when nothing
    // readable is stored, with its line), and takeIn() adds what it found to the list.
    std::optional<QFuture<Decoded>> decodeOnWorker();
    void takeIn(Decoded decoded);
    // Cuts a loaded list longer than `count` (a foreign or damaged store) to its first `count`
    // keys and stores it so, after keeping the stored value in the backup.
    void cutLoaded(qsizetype count);
    void save();
    // The same save, in steps for a WriteBehind: the list as it is now (shared with the worker until
    // it has listed the records in order) is encoded on the worker and stored back on the GUI thread.
    WriteBehind::Work saveBehind();

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
};
