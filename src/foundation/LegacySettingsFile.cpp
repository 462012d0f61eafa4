#include "foundation/LegacySettingsFile.h"

#include "foundation/JsonError.h"
#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"
#include "foundation/LegacyJsonText.h"

#include <QJsonObject>

#include <cstring>

namespace {
const QString kJournalSequenceKey = QStringLiteral("Quorvelle.journalSequence");
// Strings this long are copied from the file's bytes instead of parsed.
constexpr qsizetype kLongString = 64 << 10;
// A long string's place in the text that is parsed: a character no JSON text holds unescaped,
// then the string's number. Only used when the text holds no such escape of its own.
const QByteArray kStandIn = QByteArrayLiteral("\\u0001");

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The text with each long string value replaced by a stand-in, and those strings where they lie.
struct Text {
    QByteArray parsed;
    QList<QByteArrayView> longStrings;
};

Text takeLongStrings(const QByteArray& bytes)
{
    Text text;
    qsizetype copied = 0;
    for (qsizetype at = 0; at < bytes.size();) {
        const void* quote = std::memchr(bytes.constData() + at, '"', size_t(bytes.size() - at));
        if (!quote)
            break;
        const qsizetype begin = static_cast<const char*>(quote) - bytes.constData() + 1;
        const qsizetype end = LegacyJsonText::closingQuote(bytes, begin);
        if (end < 0)
            break; // cut short: the parser tells
        qsizetype next = end + 1;
        while (next < bytes.size() && isSpace(bytes.at(next)))
            ++next;
        const bool isName = next < bytes.size() && bytes.at(next) == ':';
        if (end - begin >= kLongString && !isName && !std::memchr(bytes.constData() + begin, '\\', size_t(end - begin))) {
            text.parsed.append(bytes.constData() + copied, begin - copied);
            text.parsed += kStandIn + QByteArray::number(text.longStrings.size());
            text.longStrings.append(QByteArrayView(bytes.constData() + begin, end - begin));
            copied = end;
        }
        at = end + 1;
    }
    if (text.longStrings.isEmpty())
        return {bytes, {}};
    text.parsed.append(bytes.constData() + copied, bytes.size() - copied);
    // A stand-in the file held itself would be taken for one: the file is then parsed whole.
    if (text.parsed.count(kStandIn) != text.longStrings.size())
        return {bytes, {}};
    return text;
}

// The compact JSON of an entry with its long strings put back in place of their stand-ins.
QByteArray entryJson(const QJsonValue& entry, const QList<QByteArrayView>& longStrings)
{
    QByteArray json = JsonWriter::toBytes(entry, true);
    const QByteArray quotedStandIn = '"' + kStandIn;
    qsizetype found = json.indexOf(quotedStandIn);
    if (found < 0)
        return json;
    QByteArray whole;
    qsizetype copied = 0;
    qsizetype inserted = 0;
    for (; found >= 0; found = json.indexOf(quotedStandIn, found + 1)) {
        const qsizetype digits = found + quotedStandIn.size();
        const qsizetype end = json.indexOf('"', digits);
        bool ok = false;
        const qsizetype index = json.mid(digits, end - digits).toLongLong(&ok);
        if (end < 0 || !ok || index < 0 || index >= longStrings.size())
            continue;
        // Room for the whole entry, so that a long string is never copied again as it grows.
        inserted += longStrings.at(index).size();
        whole.reserve(json.size() + inserted);
        whole.append(json.constData() + copied, found + 1 - copied);
        whole.append(longStrings.at(index));
        copied = end;
    }
    whole.append(json.constData() + copied, json.size() - copied);
    return whole;
}

// The name a damaged member starts with, when it still reads.
std::optional<QString> memberName(const QByteArray& member)
{
    const QByteArray trimmed = member.trimmed();
    const qsizetype end = trimmed.startsWith('"') ? LegacyJsonText::closingQuote(trimmed, 1) : -1;
    if (end < 0)
        return std::nullopt;
    try {
        return JsonReader::parse(trimmed.left(end + 1)).string();
    } catch (const JsonError&) {
        return std::nullopt;
    }
}

// Every member of a damaged object text that still parses on its own; the damage names the rest.
QJsonObject salvage(const QByteArray& text, LegacySettingsFile::Damage& damage)
{
    QJsonObject members;
    const QByteArray trimmed = text.trimmed();
    if (!trimmed.startsWith('{'))
        return members;
    for (qsizetype at = 1; at < trimmed.size();) {
        const qsizetype end = LegacyJsonText::valueEnd(trimmed, at);
        const QByteArray member = trimmed.mid(at, end - at);
        try {
            const QJsonObject read = JsonReader::parse('{' + member + '}').as<QJsonObject>();
            for (auto it = read.constBegin(); it != read.constEnd(); ++it)
                members.insert(it.key(), it.value());
        } catch (const JsonError&) {
            if (const std::optional<QString> name = memberName(member))
                damage.lostKeys.append(*name);
            else if (!member.trimmed().isEmpty())
                ++damage.lostUnnamed;
        }
        if (end < trimmed.size() && trimmed.at(end) != ',') {
            // The object's end, or a stray bracket past which nothing is in step.
            damage.endsEarly = trimmed.at(end) != '}' || end != trimmed.size() - 1;
            return members;
        }
        at = end + 1;
    }
    damage.endsEarly = true;
    return members;
}
} // namespace

LegacySettingsFile LegacySettingsFile::parse(const QByteArray& bytes)
{
    LegacySettingsFile file;
    const Text text = takeLongStrings(bytes);
    QJsonObject members;
    try {
        members = JsonReader::parse(text.parsed).as<QJsonObject>();
    } catch (const JsonError& error) {
        file.damage = Damage{error.localizedDescription(), {}, 0};
        members = salvage(text.parsed, *file.damage);
    }
    for (auto it = members.constBegin(); it != members.constEnd(); ++it)
        if (it.key() != kJournalSequenceKey)
            file.entries.insert(it.key(), entryJson(it.value(), text.longStrings));
    const QJsonValue sequence = members.value(kJournalSequenceKey).toObject().value(QStringLiteral("value"));
    if (!members.contains(kJournalSequenceKey))
        file.journalSequence = file.damage ? std::nullopt : std::optional<qint64>(0);
    else if (members.value(kJournalSequenceKey).toObject().value(QStringLiteral("type")) == QStringLiteral("integer")
        && sequence.toInteger(-1) >= 0)
        file.journalSequence = sequence.toInteger();
    return file;
}
