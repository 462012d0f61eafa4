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
} // namespace

PersonalWallpaperList::PersonalWallpaperList(UserDefaults& defaults, QString key, StoredList::Lines lines)
    : stored_(defaults, std::move(key), QStringLiteral("key"), std::move(lines))
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
    if (std::optional<UserDefaults::StoredArray> array = stored_.stored())
        takeIn(decode(*std::move(array)), keepAtMost);
}

QFuture<PersonalWallpaperList::Decoded> PersonalWallpaperList::decodeOnWorker()
{
    std::function<std::optional<UserDefaults::StoredArray>()> read = stored_.storedReader();
    return QtConcurrent::run([read = std::move(read)] {
        std::optional<UserDefaults::StoredArray> array = read();
#ifdef __GLIBC__
        // The rows read lie freed on this thread's heap, where the decoding threads take nothing.
        malloc_trim(0);
#endif
        Decoded decoded = array ? decode(*std::move(array)) : Decoded();
        if (!array)
            decoded.stored.failure = QStringLiteral("the stored rows cannot be read");
#ifdef __GLIBC__
        // What decoding a long list held for a while (its parts, the text read into each record)
        // lies freed among the records on every decoding thread's heap: handed back, it no longer
        // counts as the program's.
        malloc_trim(0);
#endif
        return decoded;
    });
}

PersonalWallpaperList::Decoded PersonalWallpaperList::decode(UserDefaults::StoredArray array)
{
    // Takes the records in as their parts are decoded, each under its key.
    struct Keying {
        Decoded& decoded;
        RepeatedTexts texts;

        void start(qsizetype count)
        {
            decoded.records = {};
            decoded.order = {};
            decoded.skipped = {};
            decoded.records.reserve(count);
            decoded.order.reserve(count);
        }
        void add(QList<WallpaperModel>&& part)
        {
            for (WallpaperModel& wallpaper : part) {
                if (!wallpaper.key) {
                    decoded.skipped.append(QStringLiteral("\"%1\" has no key").arg(wallpaper.title));
                    continue;
                }
                const qint64 key = *wallpaper.key;
                if (decoded.records.contains(key)) {
                    decoded.skipped.append(QStringLiteral("\"%1\" repeats the key %2").arg(wallpaper.title).arg(key));
                    continue;
                }
                texts.share(wallpaper);
                decoded.records.emplace(key, std::move(wallpaper));
                decoded.order.append(key);
            }
        }
    };
    Decoded decoded;
    Keying keying{decoded, {}};
    decoded.stored
        = StoredList::decodeInParts<WallpaperModel, WallpaperModelReader>(std::exchange(array.text, {}), keying, std::exchange(array.ranges, {}));
    // A record is stored under its own key; one whose row says otherwise is left where it is.
    QHash<qint64, qint64> positions;
    positions.reserve(array.keys.size());
    for (qsizetype i = 0; i < array.keys.size(); ++i) {
        bool number = false;
        const qint64 key = array.keys.at(i).toLongLong(&number);
        if (number)
            positions.insert(key, array.positions.at(i));
    }
    QList<qint64> kept;
    kept.reserve(decoded.order.size());
    for (const qint64 key : std::as_const(decoded.order)) {
        const auto found = positions.constFind(key);
        if (found == positions.cend()) {
            decoded.records.remove(key);
            decoded.skipped.append(QStringLiteral("the record of %1 lies in another row").arg(key));
            continue;
        }
        kept.append(key);
        decoded.positions.append(found.value());
    }
    decoded.order = std::move(kept);
    return decoded;
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
