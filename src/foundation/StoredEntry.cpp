#include "foundation/StoredEntry.h"

#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"

#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <atomic>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
const QString kTypeKey = QStringLiteral("type");
const QString kValueKey = QStringLiteral("value");

// Index-aligned with the alternatives of StoredEntry::Value.
const std::array<QString, 8> kTypeTags = {
    QStringLiteral("data"), QStringLiteral("string"), QStringLiteral("integer"), QStringLiteral("double"),
    QStringLiteral("bool"), QStringLiteral("date"), QStringLiteral("array"), QStringLiteral("dictionary"),
};

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

// A data entry exactly as encode() writes it. An earlier version's liked list comes over as one
// such entry of tens of megabytes; through a JSON document its text passed through four copies
// of itself (the document, UTF-16, Latin-1, the data): a second of the first start after an
// upgrade and some 250 MiB. Any other form of the entry still goes to the JSON reader.
constexpr QByteArrayView kDataHead = R"({"type":"data","value":")";
constexpr QByteArrayView kDataTail = R"("})";

bool isBase64Character(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

// Base64 text of a length a multiple of 4 in characters decodes a part at a time; the padding
// counts only at the end of the whole.
constexpr qsizetype kPartChars = qsizetype(4) << 20;

std::optional<QByteArray> decodePart(QByteArrayView part, bool last)
{
    // Only Base64's own characters: an escape, a quote or a space is for the JSON reader to judge.
    const auto padding = std::find(part.begin(), part.end(), '=');
    if ((padding != part.end() && !last) || !std::all_of(part.begin(), padding, isBase64Character)
        || !std::all_of(padding, part.end(), [](char c) { return c == '='; }))
        return std::nullopt;
    auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromRawData(part.data(), part.size()), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return *std::move(decoded);
}

std::optional<QByteArray> plainData(const QByteArray& entry)
{
    if (entry.size() < kDataHead.size() + kDataTail.size() || !entry.startsWith(kDataHead) || !entry.endsWith(kDataTail))
        return std::nullopt;
    const QByteArrayView text = QByteArrayView(entry).sliced(kDataHead.size(), entry.size() - kDataHead.size() - kDataTail.size());
    if (text.size() % 4 != 0)
        return std::nullopt;
    if (text.size() <= kPartChars)
        return decodePart(text, true);
    // A long value (a liked list of tens of megabytes, at the first start after an upgrade)
    // decodes on several cores, each part straight into its place: every part but the last
    // makes kPartChars / 4 * 3 bytes.
    QList<qsizetype> parts;
    for (qsizetype at = 0; at < text.size(); at += kPartChars)
        parts.append(at);
    const qsizetype padding = text.endsWith("==") ? 2 : text.endsWith('=') ? 1 : 0;
    QByteArray whole(text.size() / 4 * 3 - padding, Qt::Uninitialized);
    // What each part wrote; anything but the whole means a part did not read.
    std::atomic<qsizetype> written = 0;
    QtConcurrent::blockingMap(parts, [&](qsizetype at) {
        const QByteArrayView part = text.sliced(at, std::min(kPartChars, text.size() - at));
        const std::optional<QByteArray> bytes = decodePart(part, part.end() == text.end());
        if (!bytes || at / 4 * 3 + bytes->size() > whole.size())
            return;
        std::memcpy(whole.data() + at / 4 * 3, bytes->constData(), size_t(bytes->size()));
        written += bytes->size();
    });
    if (written != whole.size())
        return std::nullopt;
    return whole;
}
} // namespace

QByteArray StoredEntry::encode(const Value& value)
{
    if (const QByteArray* data = std::get_if<QByteArray>(&value)) {
        QByteArray entry;
        entry.reserve(kDataHead.size() + (data->size() + 2) / 3 * 4 + kDataTail.size());
        return entry.append(kDataHead).append(data->toBase64()).append(kDataTail);
    }
    const QJsonValue encoded = std::visit(
        [](const auto& typed) -> QJsonValue {
            using Type = std::decay_t<decltype(typed)>;
            if constexpr (std::is_same_v<Type, double>)
                return encodeDouble(typed);
            else
                return JsonWriter::encode(typed);
        },
        value);
    return JsonWriter::toBytes(QJsonObject{{kTypeKey, kTypeTags.at(value.index())}, {kValueKey, encoded}}, true);
}

std::optional<StoredEntry::Value> StoredEntry::decode(const QByteArray& bytes, const QString& key, QString* error)
{
    if (std::optional<QByteArray> data = plainData(bytes))
        return *std::move(data);
    try {
        const JsonReader entry(JsonReader::parse(bytes).value(), key);
        const QString tag = entry.requiredString(kTypeKey);
        switch (std::find(kTypeTags.cbegin(), kTypeTags.cend(), tag) - kTypeTags.cbegin()) {
        case 0: return entry.requiredData(kValueKey);
        case 1: return entry.requiredString(kValueKey);
        case 2: return entry.requiredInt64(kValueKey);
        case 3: return decodeDouble(entry);
        case 4: return entry.requiredBool(kValueKey);
        case 5: return entry.requiredDate(kValueKey);
        case 6: return entry.required<QJsonArray>(kValueKey);
        case 7: return entry.required<QJsonObject>(kValueKey);
        default: entry.field(kTypeKey).fail(QStringLiteral("unknown type \"") + tag + QLatin1Char('"'));
        }
    } catch (const JsonError& error_) {
        *error = error_.localizedDescription();
    }
    return std::nullopt;
}
