#pragma once

#include "foundation/JsonError.h"

#include <QAnyStringView>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <concepts>
#include <optional>
#include <type_traits>

class JsonReader;

// The elements of an array decoded record by record: the ones that decoded, in array order, and
// one error per element that did not.
template <typename T>
struct JsonRecords {
    QList<T> values;
    QList<JsonError> errors;
};

// A record type that decodes itself: `static T fromJson(const JsonReader&)`.
template <typename T>
concept JsonDecodable = requires(const JsonReader& reader) {
    { T::fromJson(reader) } -> std::convertible_to<T>;
};

// Strict, typed reading of one JSON value and the path that leads to it ("items[3].key"), so
// every failure names the value at fault. Nothing is converted behind the caller's back: a
// boolean is only true/false, an integer is only an integral number that is exact in 64 bits,
// a date is only a number (seconds since 2001-01-01 00:00:00 UTC). Every failure throws
// JsonError. A reader is a cheap value: it shares the document it reads.
//
// Types that as<T>(), required<T>() and optional<T>() know: QString, qint64, double, bool,
// QUuid (text, either case), QUrl (strict, not empty), QDateTime (UTC, millisecond precision),
// QByteArray (Base64 text), QJsonObject, QJsonArray, JsonReader (the value itself), QList<T> of
// any of these, and every JsonDecodable record.
class JsonReader {
public:
    // Dates are stored as seconds since 2001-01-01 00:00:00 UTC; this is that moment.
    static constexpr qint64 kReferenceDateMSecs = 978'307'200'000;

    explicit JsonReader(QJsonValue value, QString path = {});

    // Parses a whole JSON text (an object, an array or a bare value). Invalid JSON, bytes that
    // are not UTF-8 included, throws JsonError with the offset of the fault.
    static JsonReader parse(const QByteArray& json);

    const QJsonValue& value() const { return value_; }
    QString path() const;
    bool isNull() const { return value_.isNull(); }

    // Throws JsonError at this value's path, for record decoders that find a value they cannot
    // accept (an unknown case name, say).
    [[noreturn]] void fail(const QString& message) const;

    // Objects. Each throws when this value is not an object.
    // True when the key is present, even with null.
    bool has(QAnyStringView key) const;
    QStringList keys() const;
    // The value under the key; throws when the key is missing or its value is null.
    JsonReader field(QAnyStringView key) const;
    // Absent or null gives nothing.
    std::optional<JsonReader> optionalField(QAnyStringView key) const;

    // Arrays. Each throws when this value is not an array.
    qsizetype size() const;
    JsonReader at(qsizetype index) const;
    template <typename Fn>
    void forEach(Fn&& fn) const;
    // Decodes every element with `decode` (const JsonReader& -> record). An element whose
    // decoding throws JsonError is left out and its error returned, so one bad record never
    // costs the others.
    template <typename Fn>
    auto records(Fn&& decode) const -> JsonRecords<std::decay_t<std::invoke_result_t<Fn&, const JsonReader&>>>;
    template <JsonDecodable T>
    JsonRecords<T> records() const
    {
        return records([](const JsonReader& element) { return T::fromJson(element); });
    }

    // This value, typed.
    template <typename T>
    T as() const;
    QString string() const { return as<QString>(); }
    qint64 int64() const { return as<qint64>(); }
    double number() const { return as<double>(); }
    bool boolean() const { return as<bool>(); }
    QUuid uuid() const { return as<QUuid>(); }
    QUrl url() const { return as<QUrl>(); }
    QDateTime date() const { return as<QDateTime>(); }
    QByteArray data() const { return as<QByteArray>(); }

    // A field, typed. required: a missing key throws, and so does null (it is not of the type).
    // optional: a missing key or null gives nothing; any other value must have the type.
    template <typename T>
    T required(QAnyStringView key) const;
    template <typename T>
    std::optional<T> optional(QAnyStringView key) const;

    QString requiredString(QAnyStringView key) const { return required<QString>(key); }
    std::optional<QString> optionalString(QAnyStringView key) const { return optional<QString>(key); }
    qint64 requiredInt64(QAnyStringView key) const { return required<qint64>(key); }
    std::optional<qint64> optionalInt64(QAnyStringView key) const { return optional<qint64>(key); }
    double requiredDouble(QAnyStringView key) const { return required<double>(key); }
    std::optional<double> optionalDouble(QAnyStringView key) const { return optional<double>(key); }
    bool requiredBool(QAnyStringView key) const { return required<bool>(key); }
    std::optional<bool> optionalBool(QAnyStringView key) const { return optional<bool>(key); }
    // Missing or null gives the fallback; a present value must be a JSON boolean.
    bool boolOr(QAnyStringView key, bool fallback) const { return optional<bool>(key).value_or(fallback); }
    QUuid requiredUuid(QAnyStringView key) const { return required<QUuid>(key); }
    std::optional<QUuid> optionalUuid(QAnyStringView key) const { return optional<QUuid>(key); }
    QUrl requiredUrl(QAnyStringView key) const { return required<QUrl>(key); }
    std::optional<QUrl> optionalUrl(QAnyStringView key) const { return optional<QUrl>(key); }
    QDateTime requiredDate(QAnyStringView key) const { return required<QDateTime>(key); }
    std::optional<QDateTime> optionalDate(QAnyStringView key) const { return optional<QDateTime>(key); }
    QByteArray requiredData(QAnyStringView key) const { return required<QByteArray>(key); }
    std::optional<QByteArray> optionalData(QAnyStringView key) const { return optional<QByteArray>(key); }

private:
    // Where a value sits, turned into a path text only when an error needs it, so reading the
    // fields of a large page allocates no path strings.
    struct Location {
        const JsonReader& owner;
        QAnyStringView key;
        qsizetype index = -1;
        QString path() const;
        JsonReader reader(const QJsonValue& value) const;
    };

    // An element of an array: its path is built from the array's only when asked for.
    JsonReader(QJsonValue value, QString arrayPath, qsizetype index);

    template <typename T>
    struct IsList : std::false_type {};
    template <typename T>
    struct IsList<QList<T>> : std::true_type {};

    // The value under `key`, undefined when missing; throws when this is not an object.
    QJsonValue member(QAnyStringView key) const;
    void requireObject() const;
    QJsonArray elements() const;

    template <typename T>
    static T decode(const QJsonValue& value, const Location& where);

    static QString decodeString(const QJsonValue& value, const Location& where);
    static qint64 decodeInt64(const QJsonValue& value, const Location& where);
    static double decodeDouble(const QJsonValue& value, const Location& where);
    static bool decodeBool(const QJsonValue& value, const Location& where);
    static QUuid decodeUuid(const QJsonValue& value, const Location& where);
    static QUrl decodeUrl(const QJsonValue& value, const Location& where);
    static QDateTime decodeDate(const QJsonValue& value, const Location& where);
    static QByteArray decodeData(const QJsonValue& value, const Location& where);
    static QJsonObject decodeObject(const QJsonValue& value, const Location& where);
    static QJsonArray decodeArray(const QJsonValue& value, const Location& where);

    QJsonValue value_;
    // The object itself when the value is one (empty otherwise), taken once rather than on
    // every field read.
    QJsonObject object_;
    QString path_;
    qsizetype index_ = -1;
};

template <typename T>
T JsonReader::decode(const QJsonValue& value, const Location& where)
{
    if constexpr (std::is_same_v<T, QString>)
        return decodeString(value, where);
    else if constexpr (std::is_same_v<T, qint64>)
        return decodeInt64(value, where);
    else if constexpr (std::is_same_v<T, double>)
        return decodeDouble(value, where);
    else if constexpr (std::is_same_v<T, bool>)
        return decodeBool(value, where);
    else if constexpr (std::is_same_v<T, QUuid>)
        return decodeUuid(value, where);
    else if constexpr (std::is_same_v<T, QUrl>)
        return decodeUrl(value, where);
    else if constexpr (std::is_same_v<T, QDateTime>)
        return decodeDate(value, where);
    else if constexpr (std::is_same_v<T, QByteArray>)
        return decodeData(value, where);
    else if constexpr (std::is_same_v<T, QJsonObject>)
        return decodeObject(value, where);
    else if constexpr (std::is_same_v<T, QJsonArray>)
        return decodeArray(value, where);
    else if constexpr (std::is_same_v<T, JsonReader>)
        return where.reader(value);
    else
        return where.reader(value).template as<T>();
}

template <typename T>
T JsonReader::as() const
{
    if constexpr (IsList<T>::value) {
        using Element = typename T::value_type;
        const QJsonArray array = elements();
        T list;
        list.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i)
            list.append(decode<Element>(array.at(i), Location{*this, {}, i}));
        return list;
    } else if constexpr (JsonDecodable<T>) {
        return T::fromJson(*this);
    } else {
        return decode<T>(value_, Location{*this, {}, -1});
    }
}

template <typename T>
T JsonReader::required(QAnyStringView key) const
{
    const QJsonValue found = member(key);
    const Location where{*this, key, -1};
    if (found.isUndefined())
        throw JsonError(where.path(), QStringLiteral("required key is missing"));
    return decode<T>(found, where);
}

template <typename T>
std::optional<T> JsonReader::optional(QAnyStringView key) const
{
    const QJsonValue found = member(key);
    if (found.isUndefined() || found.isNull())
        return std::nullopt;
    return decode<T>(found, Location{*this, key, -1});
}

template <typename Fn>
void JsonReader::forEach(Fn&& fn) const
{
    const QJsonArray array = elements();
    for (qsizetype i = 0; i < array.size(); ++i)
        fn(Location{*this, {}, i}.reader(array.at(i)));
}

template <typename Fn>
auto JsonReader::records(Fn&& decodeRecord) const
    -> JsonRecords<std::decay_t<std::invoke_result_t<Fn&, const JsonReader&>>>
{
    JsonRecords<std::decay_t<std::invoke_result_t<Fn&, const JsonReader&>>> result;
    result.values.reserve(size());
    forEach([&](const JsonReader& element) {
        try {
            result.values.append(decodeRecord(element));
        } catch (const JsonError& error) {
            result.errors.append(error);
        }
    });
    return result;
}
