#include "library/StoredList.h"

#include "foundation/EarlierListRows.h"
#include "foundation/JsonElementRanges.h"
#include "foundation/Log.h"
#include "foundation/RowPlan.h"
#include "foundation/UserDefaults.h"

#include <QThread>

#include <algorithm>

StoredList::StoredList(UserDefaults& defaults, QString key, QString idField, Lines lines)
    : defaults_(defaults), key_(std::move(key)), idField_(std::move(idField)), lines_(std::move(lines))
{
}

void StoredList::watchReplacement(QObject* context, std::function<void()> replaced)
{
    QObject::connect(&defaults_, &UserDefaults::valueChanged, context, [this, replaced = std::move(replaced)](const QString& key) {
        if (key == key_ && !writing_)
            replaced();
    });
}

QThreadPool& StoredList::decodingPool()
{
    // Kept for the life of the process, like the global pool.
    static QThreadPool* const pool = [] {
        auto* threads = new QThreadPool;
        threads->setObjectName(QStringLiteral("Stored list decoding"));
        threads->setMaxThreadCount(std::max(2, QThread::idealThreadCount() / 2));
        return threads;
    }();
    return *pool;
}

QList<std::pair<qsizetype, qsizetype>> StoredList::chunks(qsizetype count)
{
    // Enough records per task that handing them out costs little beside decoding them.
    constexpr qsizetype kRecordsPerTask = 500;
    QList<std::pair<qsizetype, qsizetype>> ranges;
    for (qsizetype begin = 0; begin < count || ranges.isEmpty(); begin += kRecordsPerTask)
        ranges.append({begin, std::min(count, begin + kRecordsPerTask)});
    return ranges;
}

std::optional<QList<std::pair<qsizetype, qsizetype>>> StoredList::objectRanges(const QByteArray& text)
{
    std::optional<QList<std::pair<qsizetype, qsizetype>>> elements = JsonElementRanges::of(text);
    if (!elements)
        return std::nullopt;
    for (const auto& [begin, size] : *elements)
        if (text.at(begin) != '{' || text.at(begin + size - 1) != '}')
            return std::nullopt;
    return elements;
}

QString StoredList::keyOf(const QJsonObject& record) const { return EarlierListRows::keyOf(record, idField_); }

std::optional<QList<StoredRow>> StoredList::earlierRows()
{
    if (defaults_.isUnreadable(key_)) {
        leaveOut(QStringLiteral("Failed to load the earlier stored %1: the stored entry cannot be read; it is kept as it is").arg(lines_.noun));
        return std::nullopt;
    }
    if (!defaults_.contains(key_))
        return std::nullopt;
    const QByteArray data = defaults_.data(key_);
    std::optional<QList<StoredRow>> rows = EarlierListRows::of(data, idField_, &decodingPool());
    if (!rows) {
        leaveOut(QStringLiteral("Failed to load the earlier stored %1: it is no list of records; it is kept as it is").arg(lines_.noun));
        return std::nullopt;
    }
    // The rows are kept until they are committed, which may outlast the value.
    for (StoredRow& row : *rows)
        row.record.detach();
    return rows;
}

void StoredList::moveEarlierIntoRows()
{
    if (!defaults_.contains(key_) && !defaults_.isUnreadable(key_))
        return;
    std::optional<QList<StoredRow>> rows = earlierRows();
    if (!rows)
        return;
    // Rows there already were made while the value could not be read (the database opened
    // late): they stay in front, and win over the earlier records of their keys.
    const QList<StoredRow> present = defaults_.rows(key_);
    QSet<QString> presentKeys;
    for (const StoredRow& row : present)
        presentKeys.insert(row.key);
    const qint64 after = present.isEmpty() ? 0 : present.constLast().position + kRowGap;
    rows->removeIf([&presentKeys](const StoredRow& row) { return presentKeys.contains(row.key); });
    for (StoredRow& row : *rows)
        row.position += after;
    writing_ = true;
    const bool moved = defaults_.replaceEntryWithRows(key_, key_, *rows);
    writing_ = false;
    log(QStringLiteral("💾"), QStringLiteral("Moved %1 stored %2 into rows%3")
                                 .arg(rows->size())
                                 .arg(lines_.noun, moved ? QString() : QStringLiteral(" (kept until it can be saved)")));
}

std::optional<UserDefaults::StoredArray> StoredList::stored()
{
    moveEarlierIntoRows();
    UserDefaults::StoredArray array = defaults_.storedArray(key_);
    if (!array.keys.isEmpty())
        return array;
    if (!isIncomplete_)
        log(lines_.emoji, QStringLiteral("No %1 found, starting fresh").arg(lines_.noun));
    return std::nullopt;
}

std::function<bool(qsizetype, const UserDefaults::Slices&)> StoredList::storedReader()
{
    moveEarlierIntoRows();
    return defaults_.storedArrayReader(key_);
}

std::function<QStringList()> StoredList::storedKeysReader()
{
    moveEarlierIntoRows();
    return defaults_.storedKeysReader(key_);
}

void StoredList::skip(const QString& reason)
{
    leaveOut(QStringLiteral("Skipped a stored record of the %1: %2").arg(lines_.noun, reason));
}

void StoredList::leaveOut(const QString& message)
{
    isIncomplete_ = true;
    log(QStringLiteral("⚠️"), message);
}

void StoredList::logLoaded(qsizetype count) const { log(lines_.emoji, lines_.loaded.arg(count)); }

void StoredList::saveKeyed(const QStringList& keys, QHash<QString, QByteArray> records)
{
    QSet<QString> changed;
    for (auto it = records.cbegin(); it != records.cend(); ++it)
        if (savedRecords_.value(it.key()) != it.value())
            changed.insert(it.key());
    const RowPlan<QString> plan = RowPlan<QString>::between(savedKeys_, savedPositions_, keys, changed);
    SettingsChange::ListChange change;
    change.removed = plan.removed;
    for (const qsizetype index : plan.put)
        change.put.append({keys.at(index), plan.positions.at(index), records.value(keys.at(index))});
    savedKeys_ = keys;
    savedPositions_ = plan.positions;
    savedRecords_ = std::move(records);
    commit(change, keys.size());
}

bool StoredList::commit(const SettingsChange::ListChange& change, qsizetype count)
{
    if (change.put.isEmpty() && change.removed.isEmpty())
        return true;
    writing_ = true;
    const bool committed = defaults_.changeRows(key_, change);
    writing_ = false;
    if (committed && !defaults_.awaitsFile())
        log(QStringLiteral("💾"), lines_.saved.arg(count));
    else if (committed)
        log(QStringLiteral("⏳"), QStringLiteral("Kept %1 %2 in the recovery database: the settings cannot be opened yet, and the "
                                              "change is saved into them once they can")
                                    .arg(count)
                                    .arg(lines_.noun));
    else if (defaults_.importsEarlierSettings())
        log(QStringLiteral("⏳"), QStringLiteral("Kept %1 %2 in memory: the change is saved right after the earlier settings are imported")
                                    .arg(count)
                                    .arg(lines_.noun));
    else
        log(QStringLiteral("⏳"), QStringLiteral("Kept %1 %2 in memory: the change is saved as soon as the disk takes it").arg(count).arg(lines_.noun));
    return committed;
}

void StoredList::log(const QString& emoji, const QString& message) const { logLine(emoji, lines_.type, message); }
