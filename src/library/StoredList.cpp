#include "library/StoredList.h"

#include "foundation/JsonArraySplicer.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"

#include <QThread>

#include <algorithm>

namespace {
// The type of a stored value. UserDefaults keeps it to itself, but each typed getter answers its
// fallback for a value of another type, so a getter that gives the same answer for two
// fallbacks has found it.
enum class StoredType { Data, Text, Array, Dictionary, Date, Integer, Double, Boolean, Empty };

StoredType storedType(const UserDefaults& defaults, const QString& key)
{
    if (!defaults.data(key).isEmpty())
        return StoredType::Data;
    if (defaults.string(key, QStringLiteral("a")) == defaults.string(key, QStringLiteral("b")))
        return StoredType::Text;
    if (!defaults.array(key).isEmpty())
        return StoredType::Array;
    if (!defaults.dictionary(key).isEmpty())
        return StoredType::Dictionary;
    if (defaults.date(key))
        return StoredType::Date;
    if (defaults.integer(key, 0) == defaults.integer(key, 1))
        return StoredType::Integer;
    if (defaults.doubleValue(key, 0) == defaults.doubleValue(key, 1))
        return StoredType::Double;
    if (defaults.boolean(key, false) == defaults.boolean(key, true))
        return StoredType::Boolean;
    // Empty data, an empty array or an empty dictionary: none of them holds a record.
    return StoredType::Empty;
}

QString typeName(StoredType type)
{
    switch (type) {
    case StoredType::Text: return QStringLiteral("text");
    case StoredType::Array: return QStringLiteral("an array value");
    case StoredType::Dictionary: return QStringLiteral("a dictionary");
    case StoredType::Date: return QStringLiteral("a date");
    case StoredType::Integer: return QStringLiteral("an integer");
    case StoredType::Double: return QStringLiteral("a number");
    case StoredType::Boolean: return QStringLiteral("a boolean");
    case StoredType::Data:
    case StoredType::Empty: break;
    }
    return QStringLiteral("data");
}
} // namespace

StoredList::StoredList(UserDefaults& defaults, QString key, QString idField, Lines lines)
    : defaults_(defaults), key_(std::move(key)), lines_(std::move(lines))
{
    defaults_.mergeByElement(key_, idField);
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
    std::optional<QList<std::pair<qsizetype, qsizetype>>> elements = JsonArraySplicer::elementRanges(text);
    if (!elements)
        return std::nullopt;
    for (const auto& [begin, size] : *elements)
        if (text.at(begin) != '{' || text.at(begin + size - 1) != '}')
            return std::nullopt;
    return elements;
}

std::optional<QByteArray> StoredList::storedData()
{
    if (defaults_.isUnreadable(key_)) {
        leaveOut(QStringLiteral("Failed to load %1: the stored entry cannot be read").arg(lines_.noun));
        return std::nullopt;
    }
    if (!defaults_.contains(key_)) {
        log(lines_.emoji, QStringLiteral("No %1 found, starting fresh").arg(lines_.noun));
        return std::nullopt;
    }
    if (const StoredType type = storedType(defaults_, key_); type != StoredType::Data && type != StoredType::Empty) {
        leaveOut(QStringLiteral("Failed to load %1: the stored value is %2, not data").arg(lines_.noun, typeName(type)));
        return std::nullopt;
    }
    return defaults_.data(key_);
}

void StoredList::skip(const QString& reason)
{
    leaveOut(QStringLiteral("Skipped a stored record of the %1: %2").arg(lines_.noun, reason));
}

void StoredList::leaveOut(const QString& message)
{
    backupPending_ = true;
    isIncomplete_ = true;
    log(QStringLiteral("⚠️"), message);
}

void StoredList::logLoaded(qsizetype count) const { log(lines_.emoji, lines_.loaded.arg(count)); }

void StoredList::write(const QByteArray& array, qsizetype count)
{
    if (backupPending_)
        keepBackup();
    writing_ = true;
    defaults_.setData(key_, array);
    writing_ = false;
    logSaved(count);
}

void StoredList::write(const std::shared_ptr<const UserDefaults::DataSource>& source, qsizetype count)
{
    if (backupPending_)
        keepBackup();
    writing_ = true;
    if (defaults_.awaitsFile()) {
        defaults_.setDataSource(key_, source);
        logSaved(count);
    } else {
        // Logged as saved once it is on disk; the list may be gone by then.
        defaults_.setDataSource(key_, source, [type = lines_.type, line = lines_.saved.arg(count)] {
            logLine(QStringLiteral("💾"), type, line);
        });
    }
    writing_ = false;
}

void StoredList::keepIn(const std::shared_ptr<const UserDefaults::DataSource>& source)
{
    if (!backupPending_)
        defaults_.keepDataIn(key_, source);
}

void StoredList::keepBackup()
{
    backupPending_ = false;
    if (defaults_.copyEntry(key_, backupKey()))
        log(QStringLiteral("💾"), QStringLiteral("Kept the earlier stored %1 under %2").arg(lines_.noun, backupKey()));
}

void StoredList::logSaved(qsizetype count) const
{
    if (!defaults_.awaitsFile()) {
        log(QStringLiteral("💾"), lines_.saved.arg(count));
        return;
    }
    log(QStringLiteral("⏳"), QStringLiteral("Kept %1 %2 in memory: the settings file cannot be read yet, and the change is saved "
                                          "once it can")
                                .arg(count)
                                .arg(lines_.noun));
}

void StoredList::log(const QString& emoji, const QString& message) const { logLine(emoji, lines_.type, message); }
