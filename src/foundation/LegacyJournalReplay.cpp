#include "foundation/LegacyJournalReplay.h"

#include "foundation/JsonError.h"
#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"
#include "foundation/LegacyDataList.h"

#include <QHash>

#include <limits>
#include <optional>

namespace {
// A journal numbered up to the largest number has nothing that can follow it.
constexpr qint64 kLastSequence = std::numeric_limits<qint64>::max();

struct Record {
    qint64 sequence = 0;
    QString key;
    // One of the three, as the record says.
    std::optional<QJsonObject> entry;
    std::optional<QList<LegacyDataList::Splice>> splices;
};

QList<LegacyDataList::Splice> splicesOf(const JsonReader& splices)
{
    QList<LegacyDataList::Splice> read;
    splices.forEach([&read](const JsonReader& splice) {
        if (splice.size() != 3)
            splice.fail(QStringLiteral("expected [at, removed, inserted]"));
        LegacyDataList::Splice made{splice.at(0).int64(), splice.at(1).int64(), {}};
        splice.at(2).forEach([&made](const JsonReader& element) {
            // Each inserted element must be JSON itself, or the list would no longer read.
            const QByteArray json = element.string().toUtf8();
            JsonReader::parse(json);
            made.inserted.append(json);
        });
        read.append(std::move(made));
    });
    return read;
}

// Nothing for a record that is not whole JSON of the journal's shape.
std::optional<Record> readRecord(const QByteArray& bytes)
{
    try {
        const JsonReader record = JsonReader::parse(bytes);
        Record read{record.requiredInt64(QStringLiteral("seq")), record.requiredString(QStringLiteral("key")), {}, {}};
        const bool removed = record.optionalBool(QStringLiteral("removed")).value_or(false);
        if (record.has(QStringLiteral("entry")))
            read.entry = record.required<QJsonObject>(QStringLiteral("entry"));
        if (record.has(QStringLiteral("splices")))
            read.splices = splicesOf(record.field(QStringLiteral("splices")));
        if (int(read.entry.has_value()) + int(read.splices.has_value()) + int(removed) != 1)
            return std::nullopt;
        return read;
    } catch (const JsonError&) {
        return std::nullopt;
    }
}
} // namespace

LegacyJournalReplay LegacyJournalReplay::run(QMap<QString, QByteArray>& entries, qint64 fileSequence, const QList<QByteArray>& records)
{
    LegacyJournalReplay replay;
    // A list's splices are made on its elements, and the list joined once at the end.
    QHash<QString, LegacyDataList> lists;
    std::optional<qint64> previous;
    for (qsizetype index = 0; index < records.size() && replay.stoppedBecause.isEmpty(); ++index) {
        const std::optional<Record> record = readRecord(records.at(index));
        if (!record) {
            replay.stoppedBecause = QStringLiteral("change %1 of the journal cannot be read").arg(index + 1);
        } else if (previous && (*previous == kLastSequence || record->sequence != *previous + 1)) {
            replay.stoppedBecause = QStringLiteral("change number %1 does not follow number %2").arg(record->sequence).arg(*previous);
        } else if (!previous && fileSequence != kLastSequence && record->sequence > fileSequence + 1) {
            replay.stoppedBecause = QStringLiteral("they do not follow on from the settings file, which holds the changes up to "
                                                   "number %1 while the journal goes on from number %2; the settings file may have "
                                                   "been restored from an older copy")
                                        .arg(fileSequence)
                                        .arg(record->sequence);
        } else if (record->sequence > fileSequence && record->splices) {
            auto list = lists.find(record->key);
            if (list == lists.end()) {
                const auto entry = entries.find(record->key);
                std::optional<LegacyDataList> opened = entry != entries.end() ? LegacyDataList::open(*entry) : std::nullopt;
                if (opened) {
                    *entry = QByteArray(); // held by the list until it is joined
                    list = lists.insert(record->key, *std::move(opened));
                }
            }
            if (list == lists.end() || !list->fits(*record->splices))
                replay.stoppedBecause = QStringLiteral("change number %1 does not fit the list \"%2\"").arg(record->sequence).arg(record->key);
            else
                list->apply(*record->splices);
        } else if (record->sequence > fileSequence) {
            lists.remove(record->key);
            if (record->entry)
                entries.insert(record->key, JsonWriter::toBytes(*record->entry, true));
            else
                entries.remove(record->key);
        }
        if (!replay.stoppedBecause.isEmpty())
            replay.notApplied = records.size() - index;
        else if (record->sequence > fileSequence)
            ++replay.applied;
        if (record)
            previous = record->sequence;
    }
    for (auto list = lists.begin(); list != lists.end(); ++list)
        entries.insert(list.key(), std::move(*list).takeEntry());
    return replay;
}
