#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <variant>

// A user-defaults value and its stored form, the entry {"type": "<tag>", "value": ...} as compact
// JSON: data as Base64, a date as milliseconds since the reference date, a double that JSON has no
// number for ("nan", "inf", "-inf") as text, so that each comes back as it went in.
namespace StoredEntry {

// The alternatives' order is the order of the type tags.
using Value = std::variant<QByteArray, QString, qint64, double, bool, QDateTime, QJsonArray, QJsonObject>;

QByteArray encode(const Value& value);
// Nothing, and why, for an entry this version cannot read (an unknown type, a bad value).
std::optional<Value> decode(const QByteArray& entry, const QString& key, QString* error);

} // namespace StoredEntry
