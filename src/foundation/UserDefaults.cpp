#include "foundation/UserDefaults.h"

#include "foundation/DamagedFile.h"
#include "foundation/JsonArraySplicer.h"
#include "foundation/JsonLongStrings.h"
#include "foundation/JsonReader.h"
#include "foundation/JsonSalvage.h"
#include "foundation/JsonWriter.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "signalry/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString kTypeKey = QStringLiteral("type");
const QString kValueKey = QStringLiteral("value");

// Index-aligned with the alternatives of UserDefaults::Value.
const std::array<QString, 8> kTypeTags = {
    QStringLiteral("data"), QStringLiteral("string"), QStringLiteral("integer"), QStringLiteral("double"),
    QStringLiteral("bool"), QStringLiteral("date"), QStringLiteral("array"), QStringLiteral("dictionary"),
};

// JSON has no number for these; they are written as text so a stored double is never lost.
const QString kNaN = QStringLiteral("nan");
const QString kInfinity = QStringLiteral("inf");
const QString kNegativeInfinity = QStringLiteral("-inf");

QJsonValue encodeDouble(double value)
{
    if (std::isnan(value))
        return kNaN;
    if (std::isinf(value))
        return value > 0 ? kInfinity : kNegativeInfinity;
    return value;
}

double decodeDouble(const JsonReader& entry)
{
    const JsonReader value = entry.field(kValueKey);
    if (!value.value().isString())
        return value.number();
    const QString text = value.string();
    if (text == kNaN)
        return std::numeric_limits<double>::quiet_NaN();
    if (text == kInfinity)
        return std::numeric_limits<double>::infinity();
    if (text == kNegativeInfinity)
        return -std::numeric_limits<double>::infinity();
    value.fail(QStringLiteral("expected a number, found \"") + text + QLatin1Char('"'));
}

// Whole Base64 text, decoded in parts of whole groups on every core: tens of megabytes of it
// stand between the start and the window. Each part goes straight to its place in the result,
// so the decoded bytes are never held twice.
std::optional<QByteArray> decodeBase64(QByteArrayView base64)
{
    if (base64.size() % 4 != 0)
        return std::nullopt;
    if (base64.isEmpty())
        return QByteArray();
    constexpr qsizetype kPart = qsizetype(4) << 20;
    QByteArray whole(base64.size() / 4 * 3, Qt::Uninitialized);
    struct Part {
        QByteArrayView base64;
        char* decoded;
    };
    QList<Part> parts;
    for (qsizetype at = 0; at < base64.size(); at += kPart)
        parts.append({base64.sliced(at, std::min(kPart, base64.size() - at)), whole.data() + at / 4 * 3});
    // The decoded size, or nothing for bad Base64. Only the last part may end in padding.
    const auto decodePart = [last = parts.constLast().decoded](const Part& part) -> std::optional<qsizetype> {
        const auto result = QByteArray::fromBase64Encoding(QByteArray::fromRawData(part.base64.data(), part.base64.size()),
            QByteArray::AbortOnBase64DecodingErrors);
        if (!result || (part.decoded != last && result.decoded.size() != part.base64.size() / 4 * 3))
            return std::nullopt;
        std::copy(result.decoded.cbegin(), result.decoded.cend(), part.decoded);
        return result.decoded.size();
    };
    const QList<std::optional<qsizetype>> sizes = parts.size() == 1
        ? QList<std::optional<qsizetype>>{decodePart(parts.first())}
        : QtConcurrent::blockingMapped<QList<std::optional<qsizetype>>>(parts, decodePart);
    if (std::any_of(sizes.cbegin(), sizes.cend(), [](const std::optional<qsizetype>& size) { return !size; }))
        return std::nullopt;
    whole.truncate((parts.size() - 1) * (kPart / 4 * 3) + *sizes.constLast());
    return whole;
}

// Appends the Base64 of bytes that come piece by piece, in parts of whole groups, so that they
// are never held whole beside the file's bytes: a piece's last one or two bytes wait for the next.
class Base64Appender {
public:
    explicit Base64Appender(QByteArray& bytes) : bytes_(bytes) {}

    void append(QByteArrayView piece)
    {
        while (carried_ > 0 && carried_ < 3 && !piece.isEmpty()) {
            carry_[carried_++] = piece.front();
            piece = piece.sliced(1);
        }
        if (carried_ < 3 && carried_ > 0)
            return;
        if (carried_ == 3)
            flushCarry();
        constexpr qsizetype kPart = qsizetype(3) << 20;
        const qsizetype whole = piece.size() - piece.size() % 3;
        for (qsizetype at = 0; at < whole; at += kPart)
            bytes_ += QByteArray::fromRawData(piece.data() + at, std::min(kPart, whole - at)).toBase64();
        for (qsizetype at = whole; at < piece.size(); ++at)
            carry_[carried_++] = piece.at(at);
    }
    // Writes what is left, with its padding.
    void finish() { flushCarry(); }

private:
    void flushCarry()
    {
        bytes_ += QByteArray::fromRawData(carry_.data(), carried_).toBase64();
        carried_ = 0;
    }

    QByteArray& bytes_;
    std::array<char, 3> carry_{};
    int carried_ = 0;
};

void warn(const QString& message) { logLine(QStringLiteral("⚠️"), QStringLiteral("UserDefaults"), message); }

std::atomic<void (*)()> progressListener{nullptr};

void reportProgress()
{
    if (void (*const listener)() = progressListener.load())
        listener();
}

const QString kSequenceField = QStringLiteral("seq");
const QString kKeyField = QStringLiteral("key");
const QString kEntryField = QStringLiteral("entry");
const QString kRemovedField = QStringLiteral("removed");
const QString kSplicesField = QStringLiteral("splices");

// How reading the settings file went.
struct FileRead {
    enum class Outcome { Missing, Read, Damaged, Kept } outcome = Outcome::Missing;
    QByteArray bytes;
    QString reason;
};

QString systemReason(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

UserDefaults::ReadFault& readFault()
{
    static UserDefaults::ReadFault fault;
    return fault;
}

// The JSON text of a value that holds JSON (data, an array, a dictionary); nothing for others.
std::optional<QByteArray> jsonOf(const QByteArray& data) { return data; }
std::optional<QByteArray> jsonOf(const QJsonArray& array) { return JsonWriter::toBytes(array); }
std::optional<QByteArray> jsonOf(const QJsonObject& object) { return JsonWriter::toBytes(object); }
template <typename Other>
std::optional<QByteArray> jsonOf(const Other&)
{
    return std::nullopt;
}

// Only what the file's own state makes unreadable counts as damage: its mode. A passing
// failure (no free descriptor, an interrupted or failing read, a lock) and a folder in its place
// leave it where it is.
FileRead readSettingsFile(const QString& path)
{
    FileRead read;
    const QByteArray name = QFile::encodeName(path);
    const int fault = readFault() ? readFault()(path) : 0;
    const int fd = fault != 0 ? -1 : ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int code = fault != 0 ? fault : errno;
        if (code == ENOENT || code == ENOTDIR) // nothing there, or a file where its folder goes
            return read;
        read.outcome = (code == EACCES || code == EPERM) ? FileRead::Outcome::Damaged : FileRead::Outcome::Kept;
        read.reason = QStringLiteral("cannot be read: ") + systemReason(code);
        return read;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) {
        ::close(fd);
        read.outcome = FileRead::Outcome::Kept;
        read.reason = QStringLiteral("is not a file");
        return read;
    }
    QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
    qsizetype at = 0;
    for (;;) {
        if (at == bytes.size())
            bytes.resize(bytes.size() + 64 * 1024);
        const ssize_t got = ::read(fd, bytes.data() + at, size_t(bytes.size() - at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int code = errno;
            ::close(fd);
            read.outcome = FileRead::Outcome::Kept;
            read.reason = QStringLiteral("cannot be read: ") + systemReason(code);
            return read;
        }
        if (got == 0)
            break;
        at += got;
    }
    ::close(fd);
    bytes.truncate(at);
    read.outcome = FileRead::Outcome::Read;
    read.bytes = std::move(bytes);
    return read;
}

// A rename is on disk only once its folder is synced: before that, a crash may bring back the
// old file, and the journal that still extends it must not be emptied.
bool syncFolder(const QString& filePath, QString* reason)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(filePath).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (!synced)
        *reason = systemReason(errno);
    if (fd >= 0)
        ::close(fd);
    return synced;
}
} // namespace

UserDefaults::UserDefaults(QObject* parent) : UserDefaults(kStandardDomain, Storage::OnDisk, parent) {}

UserDefaults::UserDefaults(const QString& domain, Storage storage, QObject* parent)
    : QObject(parent)
    , domain_(domain)
    , filePath_(Paths::configuration() + QStringLiteral("/Quorvelle/") + domain + QStringLiteral(".json"))
    , storage_(storage)
    , persists_(storage == Storage::OnDisk)
    , writer_(QStringLiteral("UserDefaults writer"), [this] {
        // The values are shared with the worker, not copied: a later change detaches them.
        writing_.unite(std::exchange(unjournaled_, {}));
        return [this, path = filePath_, values = values_, sources = snapshots(), unreadable = unreadable_,
                   sequence = lastSequence_, change = changes_]() -> WriteBehind::Finish {
            return [this, failure = write(path, values, sources, unreadable, sequence), sequence, change] {
                written(failure, sequence, change);
            };
        };
    })
{
    if (!persists_)
        return;
    journal_ = std::make_unique<SettingsJournal>(journalPath());
    load();
    if (awaitsFile_)
        scheduleReread(kFirstRereadMs);
}

void UserDefaults::setProgressListener(void (*listener)()) { progressListener.store(listener); }

void UserDefaults::setReadFault(ReadFault fault) { readFault() = std::move(fault); }

void UserDefaults::mergeByElement(const QString& key, const QString& idField) { idFields_.insert(key, idField); }

UserDefaults& UserDefaults::standard() { return Shared<UserDefaults>::instance(); }

template <typename T>
T UserDefaults::get(const QString& key, T fallback) const
{
    const auto found = values_.constFind(key);
    if (found == values_.cend())
        return fallback;
    const T* value = std::get_if<T>(&found.value());
    return value ? *value : fallback;
}

QString UserDefaults::string(const QString& key, const QString& fallback) const { return get(key, fallback); }
qint64 UserDefaults::integer(const QString& key, qint64 fallback) const { return get(key, fallback); }
double UserDefaults::doubleValue(const QString& key, double fallback) const { return get(key, fallback); }
bool UserDefaults::boolean(const QString& key, bool fallback) const { return get(key, fallback); }
QByteArray UserDefaults::data(const QString& key) const
{
    if (const Source source = get(key, Source()))
        return bytesOf(source->snapshot());
    return get(key, QByteArray());
}

QJsonArray UserDefaults::array(const QString& key) const { return get(key, QJsonArray()); }
QJsonObject UserDefaults::dictionary(const QString& key) const { return get(key, QJsonObject()); }

std::optional<QDateTime> UserDefaults::date(const QString& key) const
{
    const QDateTime value = get(key, QDateTime());
    return value.isValid() ? std::optional(value) : std::nullopt;
}

void UserDefaults::setString(const QString& key, const QString& value) { store(key, value); }
void UserDefaults::setInteger(const QString& key, qint64 value) { store(key, value); }
void UserDefaults::setDouble(const QString& key, double value) { store(key, value); }
void UserDefaults::setBool(const QString& key, bool value) { store(key, value); }
void UserDefaults::setData(const QString& key, const QByteArray& value) { store(key, value); }
void UserDefaults::setArray(const QString& key, const QJsonArray& value) { store(key, value); }
void UserDefaults::setDictionary(const QString& key, const QJsonObject& value) { store(key, value); }

void UserDefaults::setDate(const QString& key, const QDateTime& value)
{
    // The stored form holds milliseconds since a reference date; keeping the same in memory
    // means a value reads the same before and after a restart.
    store(key, QDateTime::fromMSecsSinceEpoch(value.toMSecsSinceEpoch(), Qt::UTC));
}

void UserDefaults::store(const QString& key, Value value)
{
    const auto found = values_.constFind(key);
    if (found != values_.cend() && found.value() == value)
        return;
    values_.insert(key, std::move(value));
    unreadable_.remove(key);
    save(key);
    emit valueChanged(key);
}

bool UserDefaults::copyEntry(const QString& from, const QString& to)
{
    if (const auto found = values_.constFind(from); found != values_.cend()) {
        // A source changes with its owner: the copy keeps the value it has now.
        const Source* source = std::get_if<Source>(&found.value());
        store(to, source ? Value(bytesOf((*source)->snapshot())) : Value(found.value()));
        return true;
    }
    if (!unreadable_.contains(from))
        return false;
    const bool hadValue = values_.remove(to);
    unreadable_.insert(to, unreadable_.value(from));
    save(to);
    if (hadValue)
        emit valueChanged(to);
    return true;
}

bool UserDefaults::hasDamagedCopies() const
{
    return foundDamaged_ || readTrouble_ || (storage_ == Storage::OnDisk && DamagedFile::hasCopies(filePath_));
}

void UserDefaults::remove(const QString& key)
{
    const bool removed = values_.remove(key);
    if (!removed && !unreadable_.contains(key))
        return;
    unreadable_.remove(key);
    save(key);
    if (removed)
        emit valueChanged(key);
}

void UserDefaults::setDataSource(const QString& key, std::shared_ptr<const DataSource> source, Saved saved)
{
    std::optional<QList<DataSource::Splice>> splices = source->changes();
    source->taken();
    // The splices start from the value this source last gave under this key.
    const auto found = values_.constFind(key);
    if (found == values_.cend() || !std::holds_alternative<Source>(found.value()) || std::get<Source>(found.value()) != source)
        splices.reset();
    values_.insert(key, std::move(source));
    unreadable_.remove(key);
    save(key, splices, std::move(saved));
    emit valueChanged(key);
}

void UserDefaults::keepDataIn(const QString& key, std::shared_ptr<const DataSource> source)
{
    const auto found = values_.find(key);
    if (found != values_.end() && (std::holds_alternative<QByteArray>(*found) || std::holds_alternative<Source>(*found))) {
        source->taken();
        *found = std::move(source);
    }
}

void UserDefaults::load()
{
    FileRead read = readSettingsFile(filePath_);
    qsizetype salvaged = 0;
    switch (read.outcome) {
    case FileRead::Outcome::Damaged: moveAside(read.reason, 0); break;
    case FileRead::Outcome::Kept: keepInPlace(read.reason); return;
    case FileRead::Outcome::Missing: break;
    case FileRead::Outcome::Read: {
        const QByteArray bytes = std::exchange(read.bytes, {});
        if (readLongDataApart(bytes))
            break;
        QJsonObject entries;
        try {
            entries = JsonReader::parse(bytes).as<QJsonObject>();
        } catch (const JsonError& error) {
            salvaged = salvage(bytes, error.localizedDescription());
            break;
        }
        for (auto it = entries.constBegin(); it != entries.constEnd(); ++it)
            readEntry(it.key(), it.value());
        break;
    }
    }
    if (const auto found = values_.constFind(kJournalSequenceKey); found != values_.cend()) {
        const qint64* sequence = std::get_if<qint64>(&found.value());
        fileSequence_ = lastSequence_ = sequence ? *sequence : 0;
        values_.remove(kJournalSequenceKey);
    }
    unreadable_.remove(kJournalSequenceKey);
    if (persists_)
        readJournal();
    // The new file holds at once what was saved, should the program end before its next change.
    if (salvaged > 0)
        save();
}

void UserDefaults::keepInPlace(const QString& reason)
{
    persists_ = false;
    awaitsFile_ = true;
    readTrouble_ = ReadTrouble{filePath_, reason, false};
    if (reason != std::exchange(unreadReason_, reason))
        warn(QStringLiteral("Could not read %1 (%2); it stays where it is, and this session's changes are kept in memory "
                            "until it can be read")
                .arg(filePath_, reason));
}

void UserDefaults::scheduleReread(int delayMs)
{
    if (!reread_) {
        reread_ = new QTimer(this);
        reread_->setSingleShot(true);
        connect(reread_, &QTimer::timeout, this, &UserDefaults::reread);
    }
    reread_->start(delayMs);
}

void UserDefaults::keepUntilRead(const QString& key)
{
    const auto found = values_.constFind(key);
    std::optional<Value> value;
    if (found != values_.cend()) {
        // A source changes with its owner: the change is the value it has now.
        const Source* source = std::get_if<Source>(&found.value());
        value = source ? Value(bytesOf((*source)->snapshot())) : found.value();
    }
    std::optional<QList<JsonElementChanges::Change>> elements;
    if (const auto field = idFields_.constFind(key); field != idFields_.cend()) {
        const std::optional<QByteArray> now = value ? std::visit([](const auto& typed) { return jsonOf(typed); }, *value) : QByteArray();
        if (now && (elements = JsonElementChanges::between(keptBytes_.value(key), *now, *field)))
            keptBytes_.insert(key, *now);
    }
    kept_.append({key, std::move(value), std::move(elements)});
    // The change is a good moment to look again, once the caller is done with it.
    if (!std::exchange(rereadSoon_, true))
        QMetaObject::invokeMethod(this, [this] {
            rereadSoon_ = false;
            reread();
        }, Qt::QueuedConnection);
}

void UserDefaults::reread()
{
    if (!awaitsFile_)
        return;
    QHash<QString, Value> session = std::exchange(values_, {});
    awaitsFile_ = false;
    persists_ = true;
    readTrouble_.reset();
    fileSequence_ = lastSequence_ = 0;
    load();
    if (awaitsFile_) {
        values_ = std::move(session);
        unreadable_ = {};
        // Looked at again after a longer while, unless a change asked for this look.
        if (!reread_->isActive())
            scheduleReread(std::min(reread_->interval() * 2, kLastRereadMs));
        return;
    }
    reread_->stop();
    unreadReason_.clear();
    const qsizetype changes = kept_.size();
    const QSet<QString> touched = makeKeptChanges();
    logLine(QStringLiteral("✅"), QStringLiteral("UserDefaults"),
        QStringLiteral("Read %1 again; the %2 changes made meanwhile are made on its values").arg(filePath_).arg(changes));
    if (!touched.isEmpty()) {
        unjournaled_.unite(touched);
        save();
    }
    QSet<QString> keys(session.keyBegin(), session.keyEnd());
    for (auto it = values_.keyBegin(); it != values_.keyEnd(); ++it)
        keys.insert(*it);
    for (const QString& key : std::as_const(keys)) {
        const auto before = session.constFind(key);
        const auto now = values_.constFind(key);
        if ((before == session.cend()) != (now == values_.cend()) || (now != values_.cend() && before.value() != now.value()))
            emit valueChanged(key);
    }
    emit fileRead();
}

QSet<QString> UserDefaults::makeKeptChanges()
{
    QSet<QString> touched;
    for (const KeptChange& change : std::exchange(kept_, {})) {
        touched.insert(change.key);
        const auto found = values_.constFind(change.key);
        if (change.elements) {
            // The merged value takes the type the session gave it, or else the file's.
            const Value* like = change.value ? &*change.value : found != values_.cend() ? &found.value() : nullptr;
            const std::optional<QByteArray> base = found == values_.cend() ? QByteArray()
                                                                            : std::visit([](const auto& typed) { return jsonOf(typed); }, found.value());
            const std::optional<QByteArray> merged
                = base ? JsonElementChanges::apply(*base, *change.elements, idFields_.value(change.key)) : std::nullopt;
            if (!like)
                continue;
            if (merged) {
                unreadable_.remove(change.key);
                if (std::holds_alternative<QJsonArray>(*like))
                    values_.insert(change.key, QJsonDocument::fromJson(*merged).array());
                else if (std::holds_alternative<QJsonObject>(*like))
                    values_.insert(change.key, QJsonDocument::fromJson(*merged).object());
                else
                    values_.insert(change.key, *merged);
                continue;
            }
            warn(QStringLiteral("The value under \"%1\" in %2 is not the list or object it was in this session; the "
                                "session's value replaces it").arg(change.key, filePath_));
        }
        unreadable_.remove(change.key);
        if (change.value)
            values_.insert(change.key, *change.value);
        else
            values_.remove(change.key);
    }
    keptBytes_.clear();
    return touched;
}

void UserDefaults::readJournal()
{
    QString failure;
    const SettingsJournal::Contents contents = journal_->read(&failure);
    if (!failure.isEmpty()) {
        // What the file holds is not all that was saved: nothing is written over either.
        keepInPlace(QStringLiteral("its journal %1 cannot be read: %2").arg(journalPath(), failure));
        return;
    }
    replay(contents.records);
    if (contents.torn) {
        warn(QStringLiteral("Dropped a torn record at the end of %1 (%2 of %3 bytes whole)")
                .arg(journalPath())
                .arg(contents.wholeBytes)
                .arg(journal_->size()));
        QString reason;
        if (!journal_->truncate(contents.wholeBytes, &reason))
            unjournaled_.insert(kJournalSequenceKey); // journals nothing until a whole write
    }
}

void UserDefaults::replay(const QList<QByteArray>& records)
{
    // A list's splices are applied to its elements and the list joined once, at the end.
    QHash<QString, JsonArraySplicer> lists;
    const auto joinList = [this, &lists](const QString& key) {
        if (const auto open = lists.constFind(key); open != lists.cend()) {
            values_.insert(key, open->join());
            lists.erase(open);
        }
    };
    for (const QByteArray& bytes : records) {
        const QJsonObject record = QJsonDocument::fromJson(bytes).object();
        const qint64 sequence = record.value(kSequenceField).toInteger();
        if (sequence <= fileSequence_)
            continue; // the file holds it
        lastSequence_ = std::max(lastSequence_, sequence);
        const QString key = record.value(kKeyField).toString();
        if (record.contains(kSplicesField)) {
            auto open = lists.find(key);
            if (open == lists.end()) {
                const auto found = values_.constFind(key);
                std::optional<JsonArraySplicer> list;
                if (found != values_.cend() && std::holds_alternative<QByteArray>(found.value()))
                    list = JsonArraySplicer::split(std::get<QByteArray>(found.value()));
                if (!list) {
                    warn(QStringLiteral("Skipped journal record %1 of %2: \"%3\" holds no list").arg(sequence).arg(journalPath(), key));
                    continue;
                }
                open = lists.insert(key, *std::move(list));
            }
            for (const QJsonValue& spliceValue : record.value(kSplicesField).toArray()) {
                const QJsonArray splice = spliceValue.toArray();
                QList<QByteArray> inserted;
                for (const QJsonValue& element : splice.at(2).toArray())
                    inserted.append(element.toString().toUtf8());
                if (!open->splice(splice.at(0).toInteger(-1), splice.at(1).toInteger(-1), inserted)) {
                    warn(QStringLiteral("Skipped a change in journal record %1 of %2: it does not fit \"%3\"")
                            .arg(sequence)
                            .arg(journalPath(), key));
                    break;
                }
            }
            continue;
        }
        lists.remove(key);
        values_.remove(key);
        unreadable_.remove(key);
        if (record.contains(kEntryField))
            readEntry(key, record.value(kEntryField));
    }
    for (const QString& key : lists.keys())
        joinList(key);
}

bool UserDefaults::readLongDataApart(const QByteArray& bytes)
{
    // A long list held as data (tens of megabytes of Base64) would cost its parse as JSON text,
    // two copies of it as UTF-16 text and the time for them, on the GUI thread before any window:
    // the rest of the file is parsed without it and the Base64 decoded where it lies.
    const JsonLongStrings strings(bytes, kLongDataBytes);
    if (strings.count() == 0)
        return false;
    QJsonObject entries;
    try {
        entries = JsonReader::parse(strings.rest()).as<QJsonObject>();
    } catch (const JsonError&) {
        return false;
    }
    QHash<QString, QByteArray> data;
    for (auto it = entries.constBegin(); it != entries.constEnd(); ++it) {
        const QJsonObject entry = it.value().toObject();
        if (entry.value(kTypeKey) != kTypeTags.front())
            continue;
        const std::optional<QByteArrayView> base64 = strings.taken(entry.value(kValueKey).toString());
        if (!base64)
            continue;
        std::optional<QByteArray> decoded = decodeBase64(*base64);
        if (!decoded)
            return false;
        data.insert(it.key(), *std::move(decoded));
    }
    // A long string anywhere else (bad Base64, a long text or array value) is read the usual way.
    if (data.size() != strings.count())
        return false;
    for (auto it = entries.constBegin(); it != entries.constEnd(); ++it) {
        if (const auto found = data.constFind(it.key()); found != data.cend())
            values_.insert(it.key(), found.value());
        else
            readEntry(it.key(), it.value());
    }
    return true;
}

void UserDefaults::readEntry(const QString& key, const QJsonValue& json)
{
    try {
        const JsonReader entry(json, key);
        const QString tag = entry.requiredString(kTypeKey);
        const auto typeIndex = std::find(kTypeTags.cbegin(), kTypeTags.cend(), tag) - kTypeTags.cbegin();
        switch (typeIndex) {
        case 0: values_.insert(key, entry.requiredData(kValueKey)); return;
        case 1: values_.insert(key, entry.requiredString(kValueKey)); return;
        case 2: values_.insert(key, entry.requiredInt64(kValueKey)); return;
        case 3: values_.insert(key, decodeDouble(entry)); return;
        case 4: values_.insert(key, entry.requiredBool(kValueKey)); return;
        case 5: values_.insert(key, entry.requiredDate(kValueKey)); return;
        case 6: values_.insert(key, entry.required<QJsonArray>(kValueKey)); return;
        case 7: values_.insert(key, entry.required<QJsonObject>(kValueKey)); return;
        default: entry.field(kTypeKey).fail(QStringLiteral("unknown type \"") + tag + QLatin1Char('"'));
        }
    } catch (const JsonError& error) {
        unreadable_.insert(key, json);
        warn(QStringLiteral("Skipped a value in %1: %2").arg(filePath_, error.localizedDescription()));
    }
}

qsizetype UserDefaults::salvage(const QByteArray& bytes, const QString& reason)
{
    const QJsonObject entries = JsonSalvage::objectEntries(bytes);
    for (auto it = entries.constBegin(); it != entries.constEnd(); ++it)
        readEntry(it.key(), it.value());
    moveAside(reason, entries.size());
    return entries.size();
}

void UserDefaults::moveAside(const QString& reason, qsizetype salvaged)
{
    foundDamaged_ = true;
    if (const std::optional<QString> target = DamagedFile::moveAside(filePath_)) {
        readTrouble_ = ReadTrouble{*target, reason, true};
        const QString kept = salvaged == 0 ? QStringLiteral("starting empty") : QStringLiteral("salvaged %1 entries").arg(salvaged);
        warn(QStringLiteral("Damaged file %1 (%2) moved to %3; %4").arg(filePath_, reason, *target, kept));
    } else {
        persists_ = false;
        readTrouble_ = ReadTrouble{filePath_, reason, false};
        warn(QStringLiteral("Damaged file %1 (%2) could not be moved aside; changes are kept in memory only").arg(filePath_, reason));
    }
}

UserDefaults::~UserDefaults() { flush(); }

void UserDefaults::save(const QString& key, const std::optional<QList<DataSource::Splice>>& splices, Saved saved)
{
    // Its owner says it is kept in memory: it is saved once the file reads.
    if (awaitsFile_) {
        keepUntilRead(key);
        return;
    }
    if (!persists_) {
        if (saved)
            saved();
        return;
    }
    ++changes_;
    if (writesBehind() && journal(key, splices, saved))
        return;
    writeWhole(key, std::move(saved));
}

bool UserDefaults::journal(const QString& key, const std::optional<QList<DataSource::Splice>>& splices, Saved& saved)
{
    // A record is replayed on the value before it, which must be on disk or in the journal.
    if (!writeFailure_.isEmpty() || !unjournaled_.isEmpty() || writing_.contains(key))
        return false;
    QByteArray record = "{\"" + kSequenceField.toUtf8() + "\":" + QByteArray::number(lastSequence_ + 1) + ",\""
        + kKeyField.toUtf8() + "\":" + JsonWriter::toBytes(key) + ',';
    const auto found = values_.constFind(key);
    if (splices) {
        QJsonArray encoded;
        for (const DataSource::Splice& splice : *splices) {
            QJsonArray inserted;
            for (const QByteArray& element : splice.inserted)
                inserted.append(QString::fromUtf8(element));
            encoded.append(QJsonArray{splice.at, splice.removed, inserted});
        }
        record += '"' + kSplicesField.toUtf8() + "\":" + JsonWriter::toBytes(encoded);
    } else if (found != values_.cend() || unreadable_.contains(key)) {
        if (found != values_.cend() && std::holds_alternative<Source>(found.value()))
            return false; // only its owner knows what changed
        if (found != values_.cend() && std::holds_alternative<QByteArray>(found.value())
            && std::get<QByteArray>(found.value()).size() > kJournalRecordBytes)
            return false;
        record += '"' + kEntryField.toUtf8() + "\":";
        appendEntry(record, found != values_.cend() ? &found.value() : nullptr, unreadable_.value(key), nullptr);
    } else {
        record += '"' + kRemovedField.toUtf8() + "\":true";
    }
    record += '}';
    if (record.size() > kJournalRecordBytes)
        return false;
    QString failure;
    if (!journal_->append(record, &failure, saved ? SettingsJournal::Sync::Later : SettingsJournal::Sync::Now)) {
        if (failure != std::exchange(journalFailure_, failure))
            warn(QStringLiteral("Could not append to %1: %2; the whole file is written instead").arg(journalPath(), failure));
        return false;
    }
    journalFailure_.clear();
    ++lastSequence_;
    if (saved) {
        if (!sync_)
            sync_ = std::make_unique<JournalSync>(journalPath());
        sync_->request([this, key, saved = std::move(saved)](const QString& syncFailure) { synced(key, syncFailure, saved); });
    }
    if (journal_->size() > std::max(kJournalBytes, dataSize(values_) / 8)) {
        writer_.request();
    } else {
        if (!idle_) {
            idle_ = new QTimer(this);
            idle_->setSingleShot(true);
            idle_->setInterval(kCheckpointIdleMs);
            connect(idle_, &QTimer::timeout, this, &UserDefaults::checkpoint);
        }
        idle_->start();
    }
    return true;
}

void UserDefaults::synced(const QString& key, const QString& failure, Saved saved)
{
    if (failure.isEmpty()) {
        saved();
        return;
    }
    // The record may not be on disk: the file is written with the change in it, and the journal
    // holds no later change to the key until it is.
    warn(QStringLiteral("Could not sync %1: %2; the whole file is written instead").arg(journalPath(), failure));
    writeWhole(key, std::move(saved));
}

void UserDefaults::writeWhole(const QString& key, Saved saved)
{
    unjournaled_.insert(key);
    // Any write prepared from now on holds the change.
    if (saved)
        afterWrite_.append({changes_, std::move(saved)});
    save();
}

void UserDefaults::save()
{
    if (!persists_)
        return;
    if (writer_.isBusy() || writesBehind()) {
        writer_.request();
        return;
    }
    writing_.unite(std::exchange(unjournaled_, {}));
    written(write(filePath_, values_, snapshots(), unreadable_, lastSequence_), lastSequence_, changes_);
}

void UserDefaults::checkpoint()
{
    if (lastSequence_ > fileSequence_)
        save();
}

void UserDefaults::flush()
{
    // A record that fails to sync is written whole: known before the writes are waited for.
    if (sync_)
        sync_->finish();
    // What the journal holds is saved: a quit waits only for a write under way and for changes
    // that only a whole write saves.
    if (unjournaled_.isEmpty() && writeFailure_.isEmpty())
        writer_.forgetPending();
    writer_.flush();
}

bool UserDefaults::writesBehind() const { return dataSize(values_) > kWriteBehindBytes; }

qsizetype UserDefaults::dataSize(const QHash<QString, Value>& values)
{
    qsizetype size = 0;
    for (const Value& value : values) {
        if (const QByteArray* data = std::get_if<QByteArray>(&value))
            size += data->size();
        else if (const Source* source = std::get_if<Source>(&value))
            size += (*source)->sizeHint();
    }
    return size;
}

UserDefaults::Snapshots UserDefaults::snapshots() const
{
    Snapshots sources;
    for (auto it = values_.cbegin(); it != values_.cend(); ++it)
        if (const Source* source = std::get_if<Source>(&it.value()))
            sources.insert(it.key(), (*source)->snapshot());
    return sources;
}

QByteArray UserDefaults::bytesOf(const DataSource::Write& write)
{
    QByteArray bytes;
    write([&bytes](QByteArrayView piece) { bytes += piece; });
    return bytes;
}

QString UserDefaults::write(const QString& filePath, const QHash<QString, Value>& values, const Snapshots& sources,
    const QJsonObject& unreadable, qint64 sequence)
{
    QString reason;
    // A crash, a full disk or a failing device in the middle of a write must never leave a
    // truncated store: the old file is replaced only by a whole, synced new one.
    if (Paths::makePrivateFolder(QFileInfo(filePath).path(), &reason)
        && signalry::AtomicFile::replace(filePath, fileBytes(values, sources, unreadable, sequence), &reason)
        && (reportProgress(), sequence == 0 || syncFolder(filePath, &reason)))
        return {};
    return reason;
}

void UserDefaults::written(const QString& failure, qint64 sequence, qint64 change)
{
    if (!failure.isEmpty()) {
        unjournaled_.unite(std::exchange(writing_, {}));
        saveFailedFor(failure);
        return;
    }
    // In the order of their changes.
    QList<Saved> landed;
    while (!afterWrite_.isEmpty() && afterWrite_.first().first <= change)
        landed.append(afterWrite_.takeFirst().second);
    writing_.clear();
    fileSequence_ = sequence;
    if (journal_ && journal_->size() > 0)
        compactJournal(sequence);
    if (!writeFailure_.isEmpty()) {
        writeFailure_.clear();
        retry_->stop();
        logLine(QStringLiteral("✅"), QStringLiteral("UserDefaults"), QStringLiteral("Wrote %1 again").arg(filePath_));
    }
    for (const Saved& saved : landed)
        saved();
}

void UserDefaults::compactJournal(qint64 sequence)
{
    QString failure;
    // Nothing was journaled while the file was written: the whole journal is in it.
    if (sequence == lastSequence_ && journal_->truncate(0, &failure))
        return;
    const SettingsJournal::Contents contents = journal_->read(&failure);
    QList<QByteArray> later;
    for (const QByteArray& record : contents.records)
        if (QJsonDocument::fromJson(record).object().value(kSequenceField).toInteger() > sequence)
            later.append(record);
    // Left as it is, the journal is only replayed past what the file holds.
    if (failure.isEmpty() && (later.isEmpty() ? journal_->truncate(0, &failure) : journal_->replace(later, &failure)))
        return;
    warn(QStringLiteral("Could not empty %1: %2; its records the file holds are skipped at the next launch").arg(journalPath(), failure));
}

QByteArray UserDefaults::fileBytes(const QHash<QString, Value>& values, const Snapshots& sources, const QJsonObject& unreadable,
    qint64 sequence)
{
    // Written entry by entry rather than through one document: a long list held as data (tens
    // of megabytes) is Base64-encoded straight into the file's bytes, never held as text too.
    QStringList keys = values.keys() + unreadable.keys();
    keys.sort();
    QByteArray bytes("{");
    // Room for the Base64 of the data, so the file's bytes are never copied while they grow.
    bytes.reserve(dataSize(values) / 3 * 4 + 64 * 1024);
    for (const QString& key : std::as_const(keys)) {
        if (bytes.size() > 1)
            bytes += ',';
        bytes += JsonWriter::toBytes(key, true);
        bytes += ':';
        const auto found = values.constFind(key);
        const auto source = sources.constFind(key);
        appendEntry(bytes, found != values.cend() ? &found.value() : nullptr, unreadable.value(key),
            source != sources.cend() ? &source.value() : nullptr);
    }
    if (sequence > 0) {
        // An ordinary integer entry to earlier versions, which keep it as it is.
        if (bytes.size() > 1)
            bytes += ',';
        bytes += JsonWriter::toBytes(kJournalSequenceKey, true) + ':';
        const Value last = sequence;
        appendEntry(bytes, &last, {}, nullptr);
    }
    bytes += '}';
    return bytes;
}

void UserDefaults::appendEntry(QByteArray& bytes, const Value* value, const QJsonValue& unreadable, const DataSource::Write* source)
{
    if (!value) {
        bytes += JsonWriter::toBytes(unreadable, true);
    } else if (std::holds_alternative<QByteArray>(*value) || std::holds_alternative<Source>(*value)) {
        bytes += "{\"type\":\"data\",\"value\":\"";
        Base64Appender base64(bytes);
        if (const QByteArray* data = std::get_if<QByteArray>(value)) {
            base64.append(*data);
        } else { // called where it lies, not on a copy: it may let go of what it shares as it runs
            (*source)([&base64](QByteArrayView piece) {
                base64.append(piece);
                reportProgress();
            });
        }
        base64.finish();
        bytes += "\"}";
    } else {
        const QJsonValue encoded = std::visit(
            [](const auto& typed) -> QJsonValue {
                using Type = std::decay_t<decltype(typed)>;
                if constexpr (std::is_same_v<Type, double>)
                    return encodeDouble(typed);
                else if constexpr (std::is_same_v<Type, Source> || std::is_same_v<Type, QByteArray>)
                    return {}; // written above
                else
                    return JsonWriter::encode(typed);
            },
            *value);
        bytes += JsonWriter::toBytes(QJsonObject{{kTypeKey, kTypeTags.at(value->index())}, {kValueKey, encoded}}, true);
    }
}

void UserDefaults::saveFailedFor(const QString& reason)
{
    if (!retry_) {
        retry_ = new QTimer(this);
        retry_->setSingleShot(true);
        retry_->setInterval(kRetryMs);
        connect(retry_, &QTimer::timeout, this, qOverload<>(&UserDefaults::save));
    }
    retry_->start();
    if (reason == writeFailure_)
        return;
    writeFailure_ = reason;
    logLine(QStringLiteral("❌"), QStringLiteral("UserDefaults"),
        QStringLiteral("Could not write %1: %2; the values are kept in memory and the write is tried again").arg(filePath_, reason));
    Q_EMIT saveFailed(filePath_, reason);
}
