#include "foundation/JsonWriter.h"

#include "foundation/JsonReader.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QUrl>
#include <QUuid>

namespace JsonWriter {

QJsonValue encode(const QString& text) { return text; }

QJsonValue encode(double number) { return number; }

QJsonValue encode(const QUuid& uuid) { return uuid.toString(QUuid::WithoutBraces).toUpper(); }

QJsonValue encode(const QUrl& url) { return url.toString(QUrl::FullyEncoded); }

QJsonValue encode(const QDateTime& date)
{
    return static_cast<double>(date.toMSecsSinceEpoch() - JsonReader::kReferenceDateMSecs) / 1000.0;
}

QJsonValue encode(const QByteArray& data) { return QString::fromLatin1(data.toBase64()); }

QByteArray toBytes(const QJsonValue& value, bool compact)
{
    const auto format = compact ? QJsonDocument::Compact : QJsonDocument::Indented;
    if (value.isObject())
        return QJsonDocument(value.toObject()).toJson(format);
    if (value.isArray())
        return QJsonDocument(value.toArray()).toJson(format);
    // A document holds only an object or an array: write the value as the one element of an
    // array and take it back out of the brackets.
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

} // namespace JsonWriter
