#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>

#include <concepts>
#include <optional>

class QDateTime;
class QUrl;
class QUuid;

// A record type that encodes itself: `QJsonObject toJson() const`.
template <typename T>
concept JsonEncodable = requires(const T& record) {
    { record.toJson() } -> std::convertible_to<QJsonValue>;
};

// The stored forms that JsonReader reads back: UUIDs upper-case without braces, dates as
// seconds since 2001-01-01 00:00:00 UTC (a double), 64-bit integers exact, data as Base64,
// URLs as their fully encoded text.
namespace JsonWriter {

QJsonValue encode(const QString& text);
QJsonValue encode(double number);
QJsonValue encode(const QUuid& uuid);
QJsonValue encode(const QUrl& url);
QJsonValue encode(const QDateTime& date);
QJsonValue encode(const QByteArray& data);
inline QJsonValue encode(const QJsonValue& value) { return value; }

// Templates so that a pointer or a plain integer never quietly becomes a boolean.
template <std::same_as<bool> T>
QJsonValue encode(T flag)
{
    return QJsonValue(flag);
}

// Every integer up to 64 bits is written exactly.
template <std::integral T>
    requires(!std::same_as<T, bool> && (std::signed_integral<T> || sizeof(T) < sizeof(qint64)))
QJsonValue encode(T number)
{
    return QJsonValue(static_cast<qint64>(number));
}

template <JsonEncodable T>
QJsonValue encode(const T& record)
{
    return record.toJson();
}

template <typename T>
QJsonValue encode(const QList<T>& list)
{
    QJsonArray array;
    for (const T& element : list)
        array.append(encode(element));
    return array;
}

// Optional fields are left out when absent, never written as null.
template <typename T>
void insertIfPresent(QJsonObject& object, const QString& key, const std::optional<T>& value)
{
    if (value)
        object.insert(key, encode(*value));
}

// The JSON text of any value, bare values included.
QByteArray toBytes(const QJsonValue& value, bool compact = true);

} // namespace JsonWriter
