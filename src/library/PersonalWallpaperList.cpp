#include "library/PersonalWallpaperList.h"

#include <QJsonObject>
#include <QSet>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
// The records of a list repeat a few texts (a category, a size, a length): one copy of each is
// kept, shared by the records, where a long list would hold tens of thousands.
void shareRepeatedTexts(PersonalWallpaperList::Decoded& decoded)
{
    if (!decoded.records)
        return;
    QSet<QString> texts;
    const auto share = [&texts](QString& text) { text = *texts.insert(text); };
    for (WallpaperModel& record : *decoded.records) {
        share(record.category);
        for (std::optional<QString>* text : {&record.resolution, &record.fileSize, &record.duration})
            if (*text)
                share(**text);
    }
}
} // namespace

PersonalWallpaperList::PersonalWallpaperList(UserDefaults& defaults, QString key, StoredList::Lines lines)
    : stored_(defaults, std::move(key), std::move(lines))
{
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

void PersonalWallpaperList::load()
{
    if (const std::optional<QByteArray> data = stored_.storedData())
        takeIn(StoredList::decode<WallpaperModel>(*data));
}

std::optional<QFuture<PersonalWallpaperList::Decoded>> PersonalWallpaperList::decodeOnWorker()
{
    std::optional<QByteArray> data = stored_.storedData();
    if (!data)
        return std::nullopt;
    return QtConcurrent::run([data = std::move(*data)] {
        Decoded decoded = StoredList::decode<WallpaperModel>(data);
        shareRepeatedTexts(decoded);
#ifdef __GLIBC__
        // The parsed document of a long list, freed now, lies in small blocks among the records
        // on every decoding thread's heap: handed back, it no longer counts as the program's.
        malloc_trim(0);
#endif
        return decoded;
    });
}

void PersonalWallpaperList::takeIn(Decoded decoded)
{
    std::optional<QList<WallpaperModel>> stored = stored_.take(std::move(decoded));
    if (!stored)
        return;
    records_.reserve(stored->size());
    order_.reserve(stored->size());
    for (WallpaperModel& wallpaper : *stored) {
        if (!wallpaper.key) {
            stored_.skip(QStringLiteral("\"%1\" has no key").arg(wallpaper.title));
            continue;
        }
        const qint64 key = *wallpaper.key;
        if (records_.contains(key)) {
            stored_.skip(QStringLiteral("\"%1\" repeats the key %2").arg(wallpaper.title).arg(key));
            continue;
        }
        records_.insert(key, std::move(wallpaper));
        order_.append(key);
    }
    stored_.logLoaded(records_.size());
}

void PersonalWallpaperList::cutLoaded(qsizetype count)
{
    const qsizetype stored = order_.size();
    if (!keepFirst(count))
        return;
    stored_.leaveOut(QStringLiteral("Kept the first %1 of %2 stored %3").arg(count).arg(stored).arg(stored_.noun()));
    save();
}

void PersonalWallpaperList::save() { stored_.save(inOrder()); }

WriteBehind::Work PersonalWallpaperList::saveBehind()
{
    // The worker shares the records only while it lists them: a change made while the list is
    // encoded and written (long, for a long list) does not copy the whole table on the GUI thread.
    return [this, records = records_, order = order_]() mutable -> WriteBehind::Finish {
        const QList<WallpaperModel> wallpapers = inOrder(std::exchange(records, {}), std::exchange(order, {}));
        return [this, array = StoredList::encode(wallpapers), count = wallpapers.size()] { stored_.write(array, count); };
    };
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
