#include "library/PersonalWallpaperList.h"

#include "foundation/RowPlan.h"
#include "model/WallpaperModelReader.h"

#include <QJsonObject>
#include <QSet>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
// The records of a list repeat a few texts (a category, a size, a length): one copy of each is
// kept, shared by the records, where a long list would hold tens of thousands. The reader shares
// them within each part it reads, so a text is looked up by its value only when its copy is new.
class RepeatedTexts {
public:
    void share(WallpaperModel& record)
    {
        share(record.category);
        for (std::optional<QString>* text : {&record.resolution, &record.fileSize, &record.duration})
            if (*text)
                share(**text);
    }

private:
    void share(QString& text)
    {
        const auto copy = shared_.constFind(text.constData());
        if (copy != shared_.cend()) {
            text = *copy;
            return;
        }
        // The copy is kept until the sharing ends, so that its address names it alone.
        copies_.append(text);
        text = *texts_.insert(text);
        shared_.insert(copies_.constLast().constData(), text);
    }

    QSet<QString> texts_;
    QHash<const QChar*, QString> shared_;
    QList<QString> copies_;
};

// Takes the stored rows in, a slice at a time, each record under its key in stored order, so a
// long list is never held whole as text beside its records. Any thread, one slice at a time.
class ListDecoding {
public:
    using Decoded = PersonalWallpaperList::Decoded;

    // Gives back the slice's text, spent.
    QByteArray addSlice(UserDefaults::StoredArray slice)
    {
        if (!decoded_.stored.failure.isEmpty())
            return {};
        for (qsizetype i = 0; i < slice.keys.size(); ++i) {
            bool number = false;
            const qint64 key = slice.keys.at(i).toLongLong(&number);
            if (number)
                positions_.insert(key, slice.positions.at(i));
        }
        StoredList::Decoded<WallpaperModel> stored = StoredList::decodeInParts<WallpaperModel, WallpaperModelReader>(
            slice.text, *this, std::exchange(slice.ranges, {}), read_);
        read_ += slice.keys.size();
        if (!stored.records)
            decoded_.stored.failure = stored.failure;
        else
            decoded_.stored.errors.append(stored.errors);
        return std::move(slice.text);
    }

    Decoded finish()
    {
        if (!decoded_.stored.failure.isEmpty()) {
            Decoded failed;
            failed.stored.failure = decoded_.stored.failure;
            return failed;
        }
        decoded_.stored.records.emplace();
        // A record is stored under its own key; one whose row says otherwise is left where it is.
        QList<qint64> kept;
        kept.reserve(decoded_.order.size());
        for (const qint64 key : std::as_const(decoded_.order)) {
            const auto found = positions_.constFind(key);
            if (found == positions_.cend()) {
                decoded_.records.remove(key);
                decoded_.skipped.append(QStringLiteral("the record of %1 lies in another row").arg(key));
                continue;
            }
            kept.append(key);
            decoded_.positions.append(found.value());
        }
        decoded_.order = std::move(kept);
        return std::exchange(decoded_, {});
    }

    // Room for the whole list at once: a table grown slice by slice holds its old storage and its
    // new one together each time it doubles, tens of megabytes for a long list.
    void expect(qsizetype count)
    {
        decoded_.records.reserve(count);
        decoded_.order.reserve(count);
        positions_.reserve(count);
    }

    // The decoding hands the records of each slice over as their parts are done. The ranges of
    // the rows are known, so a slice is never read again whole and start() comes once for each.
    void start(qsizetype count)
    {
        decoded_.records.reserve(decoded_.records.size() + count);
        decoded_.order.reserve(decoded_.order.size() + count);
    }
    void add(QList<WallpaperModel>&& part)
    {
        for (WallpaperModel& wallpaper : part) {
            if (!wallpaper.key) {
                decoded_.skipped.append(QStringLiteral("\"%1\" has no key").arg(wallpaper.title));
                continue;
            }
            const qint64 key = *wallpaper.key;
            if (decoded_.records.contains(key)) {
                decoded_.skipped.append(QStringLiteral("\"%1\" repeats the key %2").arg(wallpaper.title).arg(key));
                continue;
            }
            texts_.share(wallpaper);
            decoded_.records.emplace(key, std::move(wallpaper));
            decoded_.order.append(key);
        }
    }

private:
    Decoded decoded_;
    RepeatedTexts texts_;
    QHash<qint64, qint64> positions_;
    // The rows of the slices before.
    qsizetype read_ = 0;
};
} // namespace

PersonalWallpaperList::PersonalWallpaperList(UserDefaults& defaults, QString key, StoredList::Lines lines)
    : stored_(defaults, std::move(key), kIdField, std::move(lines))
{
}

void PersonalWallpaperList::reload()
{
    records_.clear();
    order_.clear();
    storedOrder_.clear();
    storedPositions_.clear();
    changed_.clear();
    load();
}

void PersonalWallpaperList::reloadWhenReplaced(QObject* context, std::function<void()> reloaded)
{
    stored_.watchReplacement(context, [this, reloaded = std::move(reloaded)] {
        reload();
        reloaded();
    });
}

QList<WallpaperModel> PersonalWallpaperList::inOrder(const WallpapersByKey& records, const QList<qint64>& order)
{
    QList<WallpaperModel> wallpapers;
    wallpapers.reserve(order.size());
    for (const qint64 key : order) {
        const auto found = records.constFind(key);
        if (found != records.cend())
            wallpapers.append(found.value());
    }
    return wallpapers;
}

void PersonalWallpaperList::load(qsizetype keepAtMost)
{
    if (std::optional<UserDefaults::StoredArray> array = stored_.stored()) {
        ListDecoding decoding;
        decoding.addSlice(*std::move(array));
        takeIn(decoding.finish(), keepAtMost);
    }
}

QFuture<QSet<qint64>> PersonalWallpaperList::storedKeysOnWorker()
{
    return QtConcurrent::run([read = stored_.storedKeysReader()] {
        QSet<qint64> keys;
        for (const QString& stored : read()) {
            bool number = false;
            const qint64 key = stored.toLongLong(&number);
            if (number)
                keys.insert(key);
        }
        return keys;
    });
}

QFuture<PersonalWallpaperList::Decoded> PersonalWallpaperList::decodeOnWorker(qsizetype sliceBytes, QFuture<QSet<qint64>> before)
{
    return QtConcurrent::run([read = stored_.storedReader(), sliceBytes, before]() mutable {
        ListDecoding decoding;
        // The keys come first, and tell how long the list is.
        before.waitForFinished();
        if (before.resultCount() > 0)
            decoding.expect(before.result().size());
        // A slice decodes while the next one is read; one at a time, in order.
        QFuture<void> decodingSlice;
        // The text of the slice decoded last, once it is done.
        QByteArray spent;
        const bool readAll = read(sliceBytes, [&](UserDefaults::StoredArray&& slice) {
            decodingSlice.waitForFinished();
            QByteArray free = std::exchange(spent, {});
            decodingSlice = QtConcurrent::run([&decoding, &spent, slice = std::move(slice)]() mutable { spent = decoding.addSlice(std::move(slice)); });
            return free;
        });
        decodingSlice.waitForFinished();
        Decoded decoded = decoding.finish();
        if (!readAll) {
            decoded = {};
            decoded.stored.failure = QStringLiteral("the stored rows cannot be read");
        }
#ifdef __GLIBC__
        // What decoding a long list held for a while (its parts, the text read into each record)
        // lies freed among the records on every decoding thread's heap: handed back, it no longer
        // counts as the program's.
        malloc_trim(0);
#endif
        return decoded;
    });
}

void PersonalWallpaperList::takeIn(Decoded decoded, qsizetype keepAtMost)
{
    if (!stored_.take(std::move(decoded.stored)))
        return;
    for (const QString& reason : std::as_const(decoded.skipped))
        stored_.skip(reason);
    // A load is taken in by an empty list (at construction, or after reload() emptied it): the
    // table is taken whole.
    Q_ASSERT(records_.isEmpty() && order_.isEmpty());
    records_ = std::move(decoded.records);
    order_ = std::move(decoded.order);
    storedOrder_ = order_;
    storedPositions_ = std::move(decoded.positions);
    changed_.clear();
    stored_.logLoaded(records_.size());
    const qsizetype loaded = order_.size();
    if (keepFirst(keepAtMost)) {
        stored_.leaveOut(QStringLiteral("Kept the first %1 of %2 stored %3").arg(keepAtMost).arg(loaded).arg(stored_.noun()));
        save();
    }
}

void PersonalWallpaperList::save()
{
    // Every listed key has its record and the reverse, between steps.
    QList<qint64> keys;
    if (records_.size() == order_.size()) {
        keys = order_;
    } else {
        for (const qint64 key : std::as_const(order_))
            if (records_.contains(key))
                keys.append(key);
    }
    const RowPlan<qint64> plan = RowPlan<qint64>::between(storedOrder_, storedPositions_, keys, changed_);
    SettingsChange::ListChange change;
    for (const qint64 key : plan.removed)
        change.removed.append(QString::number(key));
    for (const qsizetype index : plan.put) {
        const qint64 key = keys.at(index);
        change.put.append({QString::number(key), plan.positions.at(index), StoredList::encodeRecord(records_.value(key))});
    }
    storedOrder_ = std::move(keys);
    storedPositions_ = plan.positions;
    changed_.clear();
    stored_.commit(change, storedOrder_.size());
}

bool PersonalWallpaperList::removeFromOrder(qint64 key) { return order_.removeAll(key) > 0; }

void PersonalWallpaperList::insertAtFront(qint64 key) { order_.prepend(key); }

bool PersonalWallpaperList::moveToFront(qint64 key)
{
    if (!order_.isEmpty() && order_.first() == key)
        return false;
    removeFromOrder(key);
    insertAtFront(key);
    return true;
}

bool PersonalWallpaperList::put(const WallpaperModel& wallpaper)
{
    const qint64 key = *wallpaper.key;
    const auto found = records_.constFind(key);
    // Records compare equal by id alone; a fresh record of the same wallpaper may carry new
    // figures, so the stored forms are compared.
    if (found != records_.cend() && found.value().toJson() == wallpaper.toJson())
        return false;
    records_.insert(key, wallpaper);
    changed_.insert(key);
    return true;
}

bool PersonalWallpaperList::removeRecord(qint64 key) { return records_.remove(key); }

bool PersonalWallpaperList::keepFirst(qsizetype count)
{
    if (order_.size() <= count)
        return false;
    for (qsizetype i = count; i < order_.size(); ++i)
        records_.remove(order_.at(i));
    order_.resize(count);
    return true;
}

bool PersonalWallpaperList::clearRecords()
{
    const bool hadRecords = !records_.isEmpty();
    records_.clear();
    return hadRecords;
}

bool PersonalWallpaperList::clearOrder()
{
    const bool hadKeys = !order_.isEmpty();
    order_.clear();
    return hadKeys;
}
