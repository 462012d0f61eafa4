#include "foundation/JsonElementRanges.h"

namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
} // namespace

std::optional<QList<std::pair<qsizetype, qsizetype>>> JsonElementRanges::of(const QByteArray& text)
{
    qsizetype at = 0;
    const auto skipSpace = [&text](qsizetype from) {
        while (from < text.size() && isSpace(text.at(from)))
            ++from;
        return from;
    };
    at = skipSpace(at);
    if (at == text.size() || text.at(at) != '[')
        return std::nullopt;
    at = skipSpace(at + 1);
    QList<std::pair<qsizetype, qsizetype>> elements;
    if (at < text.size() && text.at(at) == ']')
        return skipSpace(at + 1) == text.size() ? std::optional(elements) : std::nullopt;
    qsizetype begin = at;
    // Ends the element before `end`; false when it is empty.
    const auto endElement = [&](qsizetype end) {
        while (end > begin && isSpace(text.at(end - 1)))
            --end;
        elements.append({begin, end - begin});
        return end > begin;
    };
    int depth = 0;
    bool inString = false;
    for (; at < text.size(); ++at) {
        const char c = text.at(at);
        if (inString) {
            if (c == '\\')
                ++at; // the escaped character never ends the string
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if ((c == '}' || c == ']') && depth-- == 0) {
            // The array's own end, and nothing after it.
            if (c != ']' || !endElement(at) || skipSpace(at + 1) != text.size())
                return std::nullopt;
            return elements;
        } else if (c == ',' && depth == 0) {
            if (!endElement(at))
                return std::nullopt;
            begin = skipSpace(at + 1);
        }
    }
    return std::nullopt;
}
