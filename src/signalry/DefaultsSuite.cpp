#include "signalry/DefaultsSuite.h"

#include "signalry/AtomicFile.h"
#include "signalry/Clock.h"
#include "signalry/FileNotices.h"
#include "signalry/Sha256Hex.h"
#include "signalry/StorageLocations.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <utility>

namespace signalry {

using Level = LogHandler::LogLevel;

namespace {
// Revisions are unique across every suite of the process, so one suite's revision never matches
// another's.
quint64 nextRevision()
{
    static std::atomic<quint64> counter{0};
    return ++counter;
}

// A value read from the file as the type its setter stores: whole numbers as integers, arrays
// of text as text lists. Data stays Base64 text until read as data.
QVariant typedValue(const QJsonValue& value)
{
    if (value.isDouble()) {
        const double number = value.toDouble();
        if (number == static_cast<double>(value.toInteger()))
            return value.toInteger();
        return number;
    }
    if (value.isArray()) {
        QStringList list;
        for (const QJsonValue& entry : value.toArray()) {
            if (!entry.isString())
                return value.toVariant();
            list.append(entry.toString());
        }
        return list;
    }
    return value.toVariant();
}

QJsonObject fileObject(const QVariantHash& values)
{
    QJsonObject object;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const QVariant& value = it.value();
        if (value.typeId() == QMetaType::QByteArray)
            object.insert(it.key(), QString::fromLatin1(value.toByteArray().toBase64()));
        else
            object.insert(it.key(), QJsonValue::fromVariant(value));
    }
    return object;
}
} // namespace

DefaultsSuite::DefaultsSuite(QString filePath, std::optional<LogHandler> logHandler)
    : filePath_(std::move(filePath)), logHandler_(std::move(logHandler))
{
    writer_.setMaxThreadCount(1);
    fileRead_ = load();
    revision_ = nextRevision();
    writtenAt_ = Clock::current().monotonicSeconds();
}

DefaultsSuite::~DefaultsSuite() { waitForPendingWrites(); }

QString DefaultsSuite::suiteName(const QString& appID) { return QStringLiteral("com.signalry.") + sha256Hex(appID).right(12); }

QString DefaultsSuite::defaultFilePath(const QString& suiteName)
{
    return StorageLocations::defaultsFolder() + QLatin1Char('/') + suiteName + QStringLiteral(".json");
}

std::optional<QString> DefaultsSuite::string(const QString& key) const
{
    const QVariant stored = value(key);
    return stored.typeId() == QMetaType::QString ? std::optional<QString>(stored.toString()) : std::nullopt;
}

void DefaultsSuite::setString(const QString& key, const QString& value) { set(key, value); }

std::optional<qint64> DefaultsSuite::integer(const QString& key) const
{
    const QVariant stored = value(key);
    return stored.typeId() == QMetaType::LongLong ? std::optional<qint64>(stored.toLongLong()) : std::nullopt;
}

void DefaultsSuite::setInteger(const QString& key, qint64 value) { set(key, value); }

std::optional<QStringList> DefaultsSuite::stringList(const QString& key) const
{
    const QVariant stored = value(key);
    return stored.typeId() == QMetaType::QStringList ? std::optional<QStringList>(stored.toStringList()) : std::nullopt;
}

void DefaultsSuite::setStringList(const QString& key, const QStringList& value) { set(key, value); }

std::optional<QByteArray> DefaultsSuite::data(const QString& key) const
{
    const QVariant stored = value(key);
    if (stored.typeId() == QMetaType::QByteArray)
        return stored.toByteArray();
    // Read back from the file, where data is Base64 text.
    if (stored.typeId() != QMetaType::QString)
        return std::nullopt;
    auto decoded = QByteArray::fromBase64Encoding(stored.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? std::optional<QByteArray>(*decoded) : std::nullopt;
}

void DefaultsSuite::setData(const QString& key, const QByteArray& value, Write write) { set(key, value, write); }

void DefaultsSuite::remove(const QString& key)
{
    std::lock_guard lock(mutex_);
    if (values_.remove(key))
        changed(Write::Promptly);
}

quint64 DefaultsSuite::revision() const
{
    std::lock_guard lock(mutex_);
    return revision_;
}

void DefaultsSuite::waitForPendingWrites()
{
    {
        std::lock_guard lock(mutex_);
        if (unwritten_)
            scheduleWrite();
    }
    writer_.waitForDone();
}

bool DefaultsSuite::load()
{
    using Outcome = AtomicFile::Contents::Outcome;
    // Kept as it is under another name, so the values it holds are not lost to the next write.
    const auto moveAside = [this](const QString& why) {
        const QString aside = AtomicFile::moveAside(filePath_);
        logWith(logHandler_, Level::Error,
                QStringLiteral("Analytics defaults file %1, %2").arg(why, AtomicFile::whereMovedAside(filePath_, aside)));
        FileNotices::shared().tell(filePath_, aside.isEmpty() ? filePath_ : aside, !aside.isEmpty(), why);
    };
    const AtomicFile::Contents contents = AtomicFile::read(filePath_, kMaximumFileBytes);
    switch (contents.outcome) {
    case Outcome::Missing:
        return true;
    case Outcome::Failed:
        logWith(logHandler_, Level::Error,
                QStringLiteral("Analytics defaults file cannot be read now (%1), left in place to be read again").arg(contents.error));
        FileNotices::shared().tell(filePath_, filePath_, false, contents.error);
        return false;
    case Outcome::Refused:
        moveAside(QStringLiteral("cannot be read (%1)").arg(contents.error));
        return true;
    case Outcome::TooLarge:
        moveAside(QStringLiteral("is too large (%1)").arg(contents.error));
        return true;
    case Outcome::Read:
        break;
    }
    const QJsonDocument document = QJsonDocument::fromJson(contents.data);
    if (!document.isObject()) {
        moveAside(QStringLiteral("is damaged"));
        return true;
    }
    const QJsonObject object = document.object();
    std::lock_guard lock(mutex_);
    // What it holds wins over what was set while it could not be read: those values were made
    // without it (a fresh user identifier, a first session of today), the file's are the history.
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        values_.insert(it.key(), typedValue(it.value()));
    revision_ = nextRevision();
    return true;
}

void DefaultsSuite::set(const QString& key, const QVariant& value, Write write)
{
    std::lock_guard lock(mutex_);
    const auto existing = values_.constFind(key);
    if (existing != values_.cend() && existing.value() == value)
        return;
    values_.insert(key, value);
    changed(write);
}

QVariant DefaultsSuite::value(const QString& key) const
{
    std::lock_guard lock(mutex_);
    return values_.value(key);
}

void DefaultsSuite::changed(Write write)
{
    revision_ = nextRevision();
    if (write == Write::Promptly || Clock::current().monotonicSeconds() - writtenAt_ >= kLazyWriteSeconds)
        scheduleWrite();
    else if (!writeQueued_)
        unwritten_ = true;
}

void DefaultsSuite::scheduleWrite()
{
    unwritten_ = false;
    if (std::exchange(writeQueued_, true))
        return;
    writtenAt_ = Clock::current().monotonicSeconds();
    // One writer thread runs the writes in order; each takes the values as they are when it
    // starts, so every change made while it waited goes in the same write.
    writer_.start([this] {
        // A file that did not read is read first, and never written over while it does not.
        if (!fileRead_ && !(fileRead_ = load())) {
            std::lock_guard lock(mutex_);
            writeQueued_ = false;
            unwritten_ = true;
            logWith(logHandler_, Level::Error, QStringLiteral("Error saving analytics defaults: the file in place is not read yet"));
            return;
        }
        QVariantHash values;
        {
            std::lock_guard lock(mutex_);
            writeQueued_ = false;
            values = values_;
        }
        QString error;
        if (!AtomicFile::write(filePath_, QJsonDocument(fileObject(values)).toJson(QJsonDocument::Compact), &error))
            logWith(logHandler_, Level::Error, QStringLiteral("Error saving analytics defaults: ") + error);
    });
}

} // namespace signalry
