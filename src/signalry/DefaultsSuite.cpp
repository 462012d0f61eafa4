#include "signalry/DefaultsSuite.h"

#include "signalry/AtomicFile.h"
#include "signalry/Sha256Hex.h"
#include "signalry/StorageLocations.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>

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
    load();
    revision_ = nextRevision();
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

void DefaultsSuite::setData(const QString& key, const QByteArray& value) { set(key, value); }

void DefaultsSuite::remove(const QString& key)
{
    std::unique_lock lock(mutex_);
    if (!values_.remove(key))
        return;
    const quint64 revision = revision_ = nextRevision();
    QVariantHash snapshot = values_;
    lock.unlock();
    scheduleWrite(std::move(snapshot), revision);
}

quint64 DefaultsSuite::revision() const
{
    std::lock_guard lock(mutex_);
    return revision_;
}

void DefaultsSuite::waitForPendingWrites() { writer_.waitForDone(); }

void DefaultsSuite::load()
{
    QFile file(filePath_);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    file.close();
    if (!document.isObject()) {
        const QString aside = AtomicFile::moveAside(filePath_);
        logWith(logHandler_, Level::Error,
                QStringLiteral("Analytics defaults file is damaged, moved aside to ") + (aside.isEmpty() ? filePath_ : aside));
        return;
    }
    const QJsonObject object = document.object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        values_.insert(it.key(), typedValue(it.value()));
}

void DefaultsSuite::set(const QString& key, const QVariant& value)
{
    std::unique_lock lock(mutex_);
    values_.insert(key, value);
    const quint64 revision = revision_ = nextRevision();
    QVariantHash snapshot = values_;
    lock.unlock();
    scheduleWrite(std::move(snapshot), revision);
}

QVariant DefaultsSuite::value(const QString& key) const
{
    std::lock_guard lock(mutex_);
    return values_.value(key);
}

void DefaultsSuite::scheduleWrite(QVariantHash values, quint64 revision)
{
    // One writer thread runs the writes in order; a write whose state a later change already
    // replaced is skipped, since the later write carries everything.
    writer_.start([this, values = std::move(values), revision] {
        {
            std::lock_guard lock(mutex_);
            if (revision != revision_)
                return;
        }
        QString error;
        if (!AtomicFile::write(filePath_, QJsonDocument(fileObject(values)).toJson(QJsonDocument::Compact), &error))
            logWith(logHandler_, Level::Error, QStringLiteral("Error saving analytics defaults: ") + error);
    });
}

} // namespace signalry
