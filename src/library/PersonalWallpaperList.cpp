#include "library/PersonalWallpaperList.h"

#include "foundation/KeyedListDiff.h"
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
    entries_->records.clear();
    entries_->order.clear();
    entries_->takenOrder.reset();
    entries_->changed.clear();
    entries_->readKeys.reset();
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
    if (const std::optional<QByteArray> data = stored_.storedData())
        takeIn(decode(*data), keepAtMost);
}

std::optional<QFuture<PersonalWallpaperList::Decoded>> PersonalWallpaperList::decodeOnWorker()
{
    std::optional<QByteArray> data = stored_.storedData();
    if (!data)
        return std::nullopt;
    return QtConcurrent::run([data = std::move(*data)] {
        Decoded decoded = decode(data);
#ifdef __GLIBC__
        // What decoding a long list held for a while (its parts, the text read into each record)
        // lies freed among the records on every decoding thread's heap: handed back, it no longer
        // counts as the program's.
        malloc_trim(0);
#endif
        return decoded;
    });
}

PersonalWallpaperList::Decoded PersonalWallpaperList::decode(const QByteArray& data)
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
    decoded.stored = StoredList::decodeInParts<WallpaperModel, WallpaperModelReader>(data, keying);
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
    Q_ASSERT(entries_->records.isEmpty() && entries_->order.isEmpty());
    entries_->records = std::move(decoded.records);
    entries_->order = std::move(decoded.order);
    stored_.logLoaded(entries_->records.size());
    const qsizetype loaded = entries_->order.size();
    if (keepFirst(keepAtMost)) {
        stored_.leaveOut(QStringLiteral("Kept the first %1 of %2 stored %3").arg(keepAtMost).arg(loaded).arg(stored_.noun()));
        save();
    }
    stored_.keepIn(entries_);
}

void PersonalWallpaperList::save() { stored_.write(entries_, entries_->order.size()); }

UserDefaults::DataSource::Write PersonalWallpaperList::Entries::snapshot() const
{
    // The worker shares the records only while it lists them: a change made while a long list is
    // encoded and written does not copy the whole table on the GUI thread. So a snapshot is
    // written once.
    return [records = records, order = order](const Append& append) mutable {
        StoredList::encode(inOrder(std::exchange(records, {}), std::exchange(order, {})), append);
    };
}

qsizetype PersonalWallpaperList::Entries::sizeHint() const
{
    // A stored record takes some 700 bytes.
    constexpr qsizetype kRecordBytes = 768;
    return order.size() * kRecordBytes;
}

QList<qint64> PersonalWallpaperList::Entries::storedKeys() const
{
    // Every listed key has its record and the reverse, between steps: the order itself, shared.
    if (records.size() == order.size())
        return order;
    QList<qint64> keys;
    keys.reserve(order.size());
    for (const qint64 key : order)
        if (records.contains(key))
            keys.append(key);
    return keys;
}

std::optional<QList<UserDefaults::DataSource::Splice>> PersonalWallpaperList::Entries::changes() const
{
    // More than this many records at once is a bulk change, written whole.
    constexpr qsizetype kMostRecords = 32;
    if (!takenOrder)
        return std::nullopt;
    readKeys = storedKeys();
    const std::optional<QList<KeyedListDiff::Splice>> splices = KeyedListDiff::splices(*takenOrder, *readKeys, changed, kMostRecords);
    if (!splices)
        return std::nullopt;
    QList<Splice> result;
    for (const KeyedListDiff::Splice& splice : *splices) {
        QList<QByteArray> inserted;
        for (const qint64 key : splice.inserted)
            inserted.append(StoredList::encodeRecord(records.value(key)));
        result.append({splice.at, splice.removed, inserted});
    }
    return result;
}

void PersonalWallpaperList::Entries::taken() const
{
    // The store takes the value right after reading its changes: the keys read then are these.
    takenOrder = readKeys ? *std::exchange(readKeys, std::nullopt) : storedKeys();
    changed.clear();
}

bool PersonalWallpaperList::removeFromOrder(qint64 key) { return entries_->order.removeAll(key) > 0; }

void PersonalWallpaperList::insertAtFront(qint64 key) { entries_->order.prepend(key); }

bool PersonalWallpaperList::moveToFront(qint64 key)
{
    if (!entries_->order.isEmpty() && entries_->order.first() == key)
        return false;
    removeFromOrder(key);
    insertAtFront(key);
    return true;
}

bool PersonalWallpaperList::put(const WallpaperModel& wallpaper)
{
    const qint64 key = *wallpaper.key;
    const auto found = entries_->records.constFind(key);
    // Records compare equal by id alone; a fresh record of the same wallpaper may carry new
    // figures, so the stored forms are compared.
    if (found != entries_->records.cend() && found.value().toJson() == wallpaper.toJson())
        return false;
    entries_->records.insert(key, wallpaper);
    entries_->changed.insert(key);
    return true;
}

bool PersonalWallpaperList::removeRecord(qint64 key) { return entries_->records.remove(key); }

bool PersonalWallpaperList::keepFirst(qsizetype count)
{
    if (entries_->order.size() <= count)
        return false;
    for (qsizetype i = count; i < entries_->order.size(); ++i)
        entries_->records.remove(entries_->order.at(i));
    entries_->order.resize(count);
    return true;
}

bool PersonalWallpaperList::clearRecords()
{
    const bool hadRecords = !entries_->records.isEmpty();
    entries_->records.clear();
    return hadRecords;
}

bool PersonalWallpaperList::clearOrder()
{
    const bool hadKeys = !entries_->order.isEmpty();
    entries_->order.clear();
    return hadKeys;
}
