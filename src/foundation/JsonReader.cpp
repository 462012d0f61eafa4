#include "foundation/JsonReader.h"

#include <QCborValue>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>

namespace {
// Integral doubles below 2^53 are exact; from there on a double may already have been rounded.
constexpr double kExactDoubleLimit = 9'007'199'254'740'992.0;
// Dates beyond some 30,000 years either way are garbage, and would overflow milliseconds.
constexpr double kLargestDateSeconds = 1e12;

QString describe(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("a boolean");
    case QJsonValue::Double: return QStringLiteral("a number");
    case QJsonValue::String: return QStringLiteral("a string");
    case QJsonValue::Array: return QStringLiteral("an array");
    case QJsonValue::Object: return QStringLiteral("an object");
    case QJsonValue::Undefined: break;
    }
    return QStringLiteral("nothing");
}

[[noreturn]] void mismatch(const QString& path, const char* expected, const QJsonValue& found)
{
    throw JsonError(path, QStringLiteral("expected %1, found %2").arg(QLatin1String(expected), describe(found)));
}

QString numberText(double value) { return QString::number(value, 'g', QLocale::FloatingPointShortest); }

QString quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

// Qt's document holds only an object or an array, while JSON allows any value at the top.
bool startsWithBareValue(const QByteArray& json)
{
    for (const char c : json) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            continue;
        return c != '{' && c != '[';
    }
    return false;
}

bool isCanonicalUuidText(const QString& text)
{
    if (text.size() != 36)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (hyphen ? c != u'-' : !hex)
            return false;
    }
    return true;
}

bool isAscii(QUtf8StringView text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}
} // namespace

JsonReader::JsonReader(QJsonValue value, QString path)
    : value_(std::move(value)), object_(value_.toObject()), path_(std::move(path))
{
}

JsonReader::JsonReader(QJsonValue value, QString arrayPath, qsizetype index)
    : value_(std::move(value)), object_(value_.toObject()), path_(std::move(arrayPath)), index_(index)
{
}

QString JsonReader::path() const
{
    return index_ < 0 ? path_ : path_ + QLatin1Char('[') + QString::number(index_) + QLatin1Char(']');
}

JsonReader JsonReader::parse(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error == QJsonParseError::NoError)
        return JsonReader(document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()));

    if (startsWithBareValue(json)) {
        // Only small texts (a string, a number) take this copy.
        const QJsonDocument wrapped = QJsonDocument::fromJson('[' + json + ']', &error);
        if (error.error == QJsonParseError::NoError)
            return JsonReader(wrapped.array().at(0));
        error.offset = std::max(0, error.offset - 1);
    }
    if (json.trimmed().isEmpty())
        throw JsonError({}, QStringLiteral("invalid JSON: the text is empty"));
    throw JsonError({}, QStringLiteral("invalid JSON at offset %1: %2").arg(error.offset).arg(error.errorString()));
}

void JsonReader::fail(const QString& message) const { throw JsonError(path(), message); }

QString JsonReader::Location::path() const
{
    const QString base = owner.path();
    if (index >= 0)
        return base + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
    if (key.isNull())
        return base;
    return base.isEmpty() ? key.toString() : base + QLatin1Char('.') + key.toString();
}

JsonReader JsonReader::Location::reader(const QJsonValue& value) const
{
    return index >= 0 ? JsonReader(value, owner.path(), index) : JsonReader(value, path());
}

QJsonValue JsonReader::member(QAnyStringView key) const
{
    requireObject();
    return key.visit([this](auto view) {
        if constexpr (std::is_same_v<decltype(view), QUtf8StringView>) {
            // Keys written as literals arrive as UTF-8; ASCII ones need no conversion.
            if (isAscii(view))
                return object_.value(QLatin1StringView(view.data(), view.size()));
            return object_.value(view.toString());
        } else {
            return object_.value(view);
        }
    });
}

void JsonReader::requireObject() const
{
    if (!value_.isObject())
        decodeObject(value_, Location{*this, {}, -1});
}

QJsonArray JsonReader::elements() const { return decodeArray(value_, Location{*this, {}, -1}); }

bool JsonReader::has(QAnyStringView key) const { return !member(key).isUndefined(); }

QStringList JsonReader::keys() const
{
    requireObject();
    return object_.keys();
}

JsonReader JsonReader::field(QAnyStringView key) const
{
    const QJsonValue found = member(key);
    const Location where{*this, key, -1};
    if (found.isUndefined())
        throw JsonError(where.path(), QStringLiteral("required key is missing"));
    if (found.isNull())
        throw JsonError(where.path(), QStringLiteral("expected a value, found null"));
    return where.reader(found);
}

std::optional<JsonReader> JsonReader::optionalField(QAnyStringView key) const { return optional<JsonReader>(key); }

qsizetype JsonReader::size() const { return elements().size(); }

JsonReader JsonReader::at(qsizetype index) const
{
    const QJsonArray array = elements();
    const Location where{*this, {}, index};
    if (index < 0 || index >= array.size())
        throw JsonError(where.path(), QStringLiteral("index is out of range (the array has %1 elements)").arg(array.size()));
    return where.reader(array.at(index));
}

QString JsonReader::decodeString(const QJsonValue& value, const Location& where)
{
    if (!value.isString())
        mismatch(where.path(), "a string", value);
    return value.toString();
}

qint64 JsonReader::decodeInt64(const QJsonValue& value, const Location& where)
{
    if (!value.isDouble())
        mismatch(where.path(), "an integer", value);
    // Qt's parser keeps every integral number that fits in 64 bits as an exact integer (so
    // 1.0 and 1e3 arrive as 1 and 1000) and anything else as a double. Below 2^53 the double
    // form is exact either way, which spares the common case the check of the stored kind.
    const double number = value.toDouble();
    if (std::abs(number) < kExactDoubleLimit) {
        if (std::trunc(number) != number)
            throw JsonError(where.path(), QStringLiteral("expected an integer, found ") + numberText(number));
        return static_cast<qint64>(number);
    }
    if (QCborValue::fromJsonValue(value).isInteger())
        return value.toInteger();
    throw JsonError(where.path(), QStringLiteral("the number %1 cannot be read exactly as a 64-bit integer").arg(numberText(number)));
}

double JsonReader::decodeDouble(const QJsonValue& value, const Location& where)
{
    if (!value.isDouble())
        mismatch(where.path(), "a number", value);
    return value.toDouble();
}

bool JsonReader::decodeBool(const QJsonValue& value, const Location& where)
{
    if (!value.isBool())
        mismatch(where.path(), "a boolean", value);
    return value.toBool();
}

QUuid JsonReader::decodeUuid(const QJsonValue& value, const Location& where)
{
    if (!value.isString())
        mismatch(where.path(), "a UUID string", value);
    const QString text = value.toString();
    if (!isCanonicalUuidText(text))
        throw JsonError(where.path(), quoted(text) + QStringLiteral(" is not a valid UUID"));
    return QUuid::fromString(text);
}

QUrl JsonReader::decodeUrl(const QJsonValue& value, const Location& where)
{
    if (!value.isString())
        mismatch(where.path(), "a URL string", value);
    const QString text = value.toString();
    if (text.isEmpty())
        throw JsonError(where.path(), QStringLiteral("an empty string is not a valid URL"));
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        throw JsonError(where.path(), quoted(text) + QStringLiteral(" is not a valid URL"));
    return url;
}

QDateTime JsonReader::decodeDate(const QJsonValue& value, const Location& where)
{
    if (!value.isDouble())
        mismatch(where.path(), "a date (a number of seconds)", value);
    const double seconds = value.toDouble();
    if (!(std::abs(seconds) <= kLargestDateSeconds)) // NaN included
        throw JsonError(where.path(), QStringLiteral("the date %1 is out of range").arg(numberText(seconds)));
    return QDateTime::fromMSecsSinceEpoch(kReferenceDateMSecs + std::llround(seconds * 1000.0), Qt::UTC);
}

QByteArray JsonReader::decodeData(const QJsonValue& value, const Location& where)
{
    if (!value.isString())
        mismatch(where.path(), "Base64 data", value);
    const QString text = value.toString();
    // toLatin1() turns any other character into '?', which Base64 rejects. Qt also takes text
    // without its padding, or one stray character as nothing: only whole groups of 4 are data.
    auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || text.size() % 4 != 0)
        throw JsonError(where.path(), QStringLiteral("the text is not valid Base64 data"));
    return *std::move(decoded);
}

QJsonObject JsonReader::decodeObject(const QJsonValue& value, const Location& where)
{
    if (!value.isObject())
        mismatch(where.path(), "an object", value);
    return value.toObject();
}

QJsonArray JsonReader::decodeArray(const QJsonValue& value, const Location& where)
{
    if (!value.isArray())
        mismatch(where.path(), "an array", value);
    return value.toArray();
}
