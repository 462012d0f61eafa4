#include "foundation/JsonSalvage.h"

#include "foundation/JsonReader.h"

namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The end of the entry that starts at `from`: the first ',' or '}' outside a string and outside
// any brackets the entry opened, or the end of the text.
qsizetype entryEnd(const QByteArray& text, qsizetype from)
{
    int depth = 0;
    bool inString = false;
    for (qsizetype i = from; i < text.size(); ++i) {
        const char c = text.at(i);
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        switch (c) {
        case '"': inString = true; break;
        case '{':
        case '[': ++depth; break;
        case '}':
        case ']':
            if (depth == 0)
                return i;
            --depth;
            break;
        case ',':
            if (depth == 0)
                return i;
            break;
        default: break;
        }
    }
    return text.size();
}
} // namespace

QJsonObject JsonSalvage::objectEntries(const QByteArray& text)
{
    qsizetype at = 0;
    while (at < text.size() && isSpace(text.at(at)))
        ++at;
    if (at == text.size() || text.at(at) != '{')
        return {};
    QJsonObject entries;
    for (++at; at < text.size();) {
        const qsizetype end = entryEnd(text, at);
        try {
            const QJsonObject entry = JsonReader::parse('{' + text.mid(at, end - at) + '}').as<QJsonObject>();
            for (auto it = entry.constBegin(); it != entry.constEnd(); ++it)
                entries.insert(it.key(), it.value());
        } catch (const JsonError&) {
            // This entry is lost; the next one may still be whole.
        }
        if (end < text.size() && text.at(end) == '}')
            break; // the object's end
        at = end + 1;
    }
    return entries;
}
