#pragma once

#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"
#include "foundation/SettingsChange.h"
#include "foundation/UserDefaults.h"

#include <QByteArrayView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QList>
#include <QString>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

// One list of the personal library in the user-defaults store: its records as rows, each under
// its key (the record's member `idField`) at a position, so a change writes only the rows it
// touches. It decodes record by record, so a damaged record costs only itself, and a row that
// is left out is never removed by a later change (only rows this list read or wrote are). A list
// earlier versions kept as one data value under the key is moved into rows at its first read,
// record by record, in one transaction, behind the rows already there. Logs with its owner's type. GUI thread only.
class StoredList {
public:
    // [begin, size) of each record in a list's text.
    using Ranges = QList<std::pair<qsizetype, qsizetype>>;

    // The owner's lines: "<emoji> [<type>] No <noun> found, starting fresh",
    // "⚠️ [<type>] Failed to load <noun>: <error>", "<emoji> [<type>] " + loaded (%1 = count)
    // and "💾 [<type>] " + saved (%1 = count).
    struct Lines {
        QString type;
        QString emoji;
        QString noun;
        QString loaded;
        QString saved;
    };

    // The records are told apart by their member `idField`, which keys their rows.
    StoredList(UserDefaults& defaults, QString key, QString idField, Lines lines);

    // `replaced` runs when the stored rows change other than through this list (the database
    // opened late), for as long as `context` lives.
    void watchReplacement(QObject* context, std::function<void()> replaced);

    const QString& key() const { return key_; }
    const QString& noun() const { return lines_.noun; }

    // What decoding the stored value found, ready to be taken in (take()).
    template <JsonDecodable T>
    struct Decoded {
        // None when the value is not a JSON array.
        std::optional<QList<T>> records;
        // Why there are none.
        QString failure;
        // The records left out.
        QList<JsonError> errors;
    };

    // The stored rows as one JSON array (an earlier version's value moved into rows first);
    // nothing, with its line, when the list has none.
    std::optional<UserDefaults::StoredArray> stored();
    // The same, to be read on a worker in slices (the move into rows is made now).
    std::function<bool(qsizetype, const UserDefaults::Slices&)> storedReader();
    // The keys of those rows, in no order, to be read on a worker.
    std::function<QStringList()> storedKeysReader();

    // Reads no record from its text: every record is parsed.
    template <typename T>
    struct NoTextReader {
        std::optional<T> read(QByteArrayView) { return std::nullopt; }
    };

    // Decodes a stored value. Touches nothing of the list, so it may run on any thread. A long
    // list is decoded on several cores: records decode on their own, and the JSON is only read.
    // An array of objects is parsed record by record, so a long list is never held as one parsed
    // document beside its records; any other text is parsed whole, which reports what is wrong.
    // Each record's text goes first to a `TextReader` (one per task: `std::optional<T>
    // read(QByteArrayView)`), and is parsed only when that gives nothing.
    template <JsonDecodable T, typename TextReader = NoTextReader<T>>
    static Decoded<T> decode(const QByteArray& data, const std::optional<Ranges>& rows = std::nullopt)
    {
        struct IntoList {
            QList<T>& records;
            void start(qsizetype count)
            {
                records = {};
                records.reserve(count);
            }
            void add(QList<T>&& part) { records.append(std::move(part)); }
        };
        QList<T> records;
        IntoList into{records};
        Decoded<T> decoded = decodeInParts<T, TextReader>(data, into, rows);
        if (decoded.records)
            decoded.records = std::move(records);
        return decoded;
    }

    // The same, handing the records to `gather` a part of a few hundred at a time, in stored
    // order, as the parts are done: a long list is never held whole beside what is made of it.
    // `gather.start(count)` comes first, and again, dropping what was handed over, when the
    // text has to be read whole after all; then `gather.add(QList<T>&&)` for each part. The
    // result holds no records, only an empty list when the value is an array. With the ranges of
    // its rows' records (`rows`), a record that does not parse costs only itself; the rows may
    // be a slice of a list whose first record is the `firstIndex`th (which errors name).
    template <JsonDecodable T, typename TextReader = NoTextReader<T>, typename Gather>
    static Decoded<T> decodeInParts(
        const QByteArray& data, Gather& gather, const std::optional<Ranges>& rows = std::nullopt, qsizetype firstIndex = 0)
    {
        if (std::optional<Decoded<T>> decoded = decodeByRecord<T, TextReader>(data, gather, rows, firstIndex))
            return *std::move(decoded);
        Decoded<T> decoded;
        std::optional<JsonReader> array;
        try {
            array = JsonReader::parse(data);
            array->size(); // throws unless it is an array
        } catch (const JsonError& error) {
            decoded.failure = error.localizedDescription();
            return decoded;
        }
        const auto decodeRange = [&array](const std::pair<qsizetype, qsizetype>& range) {
            Part<T> part;
            part.records.values.reserve(range.second - range.first);
            for (qsizetype index = range.first; index < range.second; ++index) {
                try {
                    part.records.values.append(T::fromJson(array->at(index)));
                } catch (const JsonError& error) {
                    part.records.errors.append(error);
                }
            }
            return part;
        };
        gather.start(array->size());
        // Only a record's own text fails to parse.
        return *gatherParts<T>(chunks(array->size()), decodeRange, gather);
    }

    // The records that decoded, in stored order; nothing when the value was not a JSON array.
    // Every record left out is logged. GUI thread, as everything but decode().
    template <JsonDecodable T>
    std::optional<QList<T>> take(Decoded<T> decoded)
    {
        if (!decoded.records) {
            leaveOut(QStringLiteral("Failed to load %1: %2").arg(lines_.noun, decoded.failure));
            return std::nullopt;
        }
        for (const JsonError& error : std::as_const(decoded.errors))
            skip(error.localizedDescription());
        return std::move(decoded.records);
    }

    // The records that decode, in stored order; nothing when none are stored (with its line).
    // Every record left out is logged. The rows read are those save() compares with.
    template <JsonDecodable T>
    std::optional<QList<T>> load()
    {
        std::optional<UserDefaults::StoredArray> array = stored();
        if (!array)
            return std::nullopt;
        std::optional<QList<T>> records = take(decode<T>(array->text, array->ranges));
        if (records)
            remember(*records, *array);
        return records;
    }

    // The owner leaves out a record that decoded (no key): logged; its row stays as it is.
    void skip(const QString& reason);
    // The owner leaves out something else: the line after "⚠️ [<type>] ".
    void leaveOut(const QString& message);
    // The load left something out (a row that cannot be read, a skipped record).
    bool isIncomplete() const { return isIncomplete_; }
    void logLoaded(qsizetype count) const;

    // Stores the records as they are now: the rows of keys that went are removed, and those of
    // keys that came, moved or whose record changed are put, against the rows read or saved last.
    template <JsonEncodable T>
    void save(const QList<T>& records)
    {
        QStringList keys;
        QHash<QString, QByteArray> encoded;
        keys.reserve(records.size());
        for (const T& record : records) {
            const QString key = keyOf(record.toJson());
            keys.append(key);
            encoded.insert(key, encodeRecord(record));
        }
        saveKeyed(keys, std::move(encoded));
    }

    // One record as it stands in its row.
    template <typename Record>
    static QByteArray encodeRecord(const Record& record)
    {
        return JsonWriter::toBytes(record.toJson());
    }
    // Commits a change of `count` records' rows; logs it saved once committed.
    bool commit(const SettingsChange::ListChange& change, qsizetype count);

private:
    // The records of a few hundred elements, or that one of them does not parse. The records
    // are taken out of a part as it is gathered, which only sees it as const.
    template <typename T>
    struct Part {
        mutable JsonRecords<T> records;
        bool parsed = true;
    };
    // Decodes the ranges on the decoding pool, and hands each part's records to `gather` in
    // order as soon as the parts before it are done. Nothing when a part did not parse, and
    // then the records handed over are to be dropped.
    template <typename T, typename DecodeRange, typename Gather>
    static std::optional<Decoded<T>> gatherParts(const QList<std::pair<qsizetype, qsizetype>>& ranges,
        const DecodeRange& decodeRange, Gather& gather)
    {
        struct Gathered {
            QList<JsonError> errors;
            bool parsed = true;
        };
        const auto add = [&gather](Gathered& gathered, const Part<T>& part) {
            gathered.parsed = gathered.parsed && part.parsed;
            if (!gathered.parsed)
                return;
            gather.add(std::exchange(part.records.values, {}));
            gathered.errors.append(part.records.errors);
        };
        Gathered gathered;
        if (ranges.size() == 1)
            add(gathered, decodeRange(ranges.first()));
        else
            gathered = QtConcurrent::blockingMappedReduced<Gathered>(&decodingPool(), ranges, decodeRange, add,
                QtConcurrent::OrderedReduce | QtConcurrent::SequentialReduce);
        if (!gathered.parsed)
            return std::nullopt;
        Decoded<T> decoded;
        decoded.records.emplace();
        decoded.errors = std::move(gathered.errors);
        return decoded;
    }
    // Each record's bytes, parsed apart; nothing when the text is not an array of objects or a
    // record does not parse (decode() then reads it whole), unless the records' ranges are
    // known (`rows`): then a record that does not parse is one left out.
    template <JsonDecodable T, typename TextReader, typename Gather>
    static std::optional<Decoded<T>> decodeByRecord(
        const QByteArray& data, Gather& gather, const std::optional<Ranges>& rows, qsizetype firstIndex)
    {
        const std::optional<Ranges> objects = rows ? rows : objectRanges(data);
        if (!objects)
            return std::nullopt;
        const bool known = rows.has_value();
        const auto decodeRange = [&data, &objects, known, firstIndex](const std::pair<qsizetype, qsizetype>& range) {
            Part<T> part;
            part.records.values.reserve(range.second - range.first);
            TextReader reader;
            for (qsizetype index = range.first; index < range.second; ++index) {
                const auto [begin, size] = objects->at(index);
                if (std::optional<T> record = reader.read(QByteArrayView(data.constData() + begin, size))) {
                    part.records.values.append(*std::move(record));
                    continue;
                }
                QJsonParseError fault;
                const QJsonDocument object = QJsonDocument::fromJson(QByteArray::fromRawData(data.constData() + begin, size), &fault);
                if (fault.error != QJsonParseError::NoError && known) {
                    part.records.errors.append(JsonError(QLatin1Char('[') + QString::number(firstIndex + index) + QLatin1Char(']'),
                        QStringLiteral("the stored record does not read: ") + fault.errorString()));
                    continue;
                }
                if (fault.error != QJsonParseError::NoError) {
                    part.parsed = false;
                    return part;
                }
                try {
                    // The path an error names is the one the whole array would give ("[3].key").
                    const JsonReader record(object.object(), QLatin1Char('[') + QString::number(firstIndex + index) + QLatin1Char(']'));
                    part.records.values.append(T::fromJson(record));
                } catch (const JsonError& error) {
                    part.records.errors.append(error);
                }
            }
            return part;
        };
        gather.start(objects->size());
        return gatherParts<T>(chunks(objects->size()), decodeRange, gather);
    }
    // Where each element of a JSON array of objects lies in the text ([begin, size) of its
    // bytes), found by reading its brackets and strings only; nothing for any other text.
    static std::optional<QList<std::pair<qsizetype, qsizetype>>> objectRanges(const QByteArray& text);
    // Half the cores, apart from the global pool: while a long list decodes, the images and files
    // that the window waits for are still read and decoded there.
    static QThreadPool& decodingPool();
    // [begin, end) ranges of a few hundred records each that together cover `count`.
    static QList<std::pair<qsizetype, qsizetype>> chunks(qsizetype count);
    // The rows of a value earlier versions stored under the key; nothing when there is none.
    std::optional<QList<StoredRow>> earlierRows();
    // Moves a value earlier versions stored under the key into rows, after those there already.
    void moveEarlierIntoRows();
    QString keyOf(const QJsonObject& record) const;
    template <typename T>
    void remember(const QList<T>& records, const UserDefaults::StoredArray& array)
    {
        QHash<QString, qint64> positions;
        for (qsizetype i = 0; i < array.keys.size(); ++i)
            positions.insert(array.keys.at(i), array.positions.at(i));
        savedKeys_.clear();
        savedPositions_.clear();
        savedRecords_.clear();
        for (const T& record : records) {
            const QString key = keyOf(record.toJson());
            if (!positions.contains(key) || savedRecords_.contains(key))
                continue;
            savedKeys_.append(key);
            savedPositions_.append(positions.value(key));
            savedRecords_.insert(key, encodeRecord(record));
        }
    }
    void saveKeyed(const QStringList& keys, QHash<QString, QByteArray> records);
    void log(const QString& emoji, const QString& message) const;

    UserDefaults& defaults_;
    const QString key_;
    const QString idField_;
    const Lines lines_;
    bool isIncomplete_ = false;
    // Set while this list stores its rows.
    bool writing_ = false;
    // What save() compares with: the keys read or saved last, their positions and records.
    QStringList savedKeys_;
    QList<qint64> savedPositions_;
    QHash<QString, QByteArray> savedRecords_;
};
