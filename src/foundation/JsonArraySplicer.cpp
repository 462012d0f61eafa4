#include "foundation/JsonArraySplicer.h"

namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
} // namespace

std::optional<QList<std::pair<qsizetype, qsizetype>>> JsonArraySplicer::elementRanges(const QByteArray& text)
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

std::optional<JsonArraySplicer> JsonArraySplicer::split(const QByteArray& array)
{
    const std::optional<QList<std::pair<qsizetype, qsizetype>>> ranges = elementRanges(array);
    if (!ranges)
        return std::nullopt;
    JsonArraySplicer splicer(array);
    splicer.elements_.reserve(ranges->size());
    for (const auto& [begin, size] : *ranges)
        splicer.elements_.append(QByteArray::fromRawData(splicer.array_.constData() + begin, size));
    return splicer;
}

bool JsonArraySplicer::splice(qsizetype at, qsizetype removed, const QList<QByteArray>& inserted)
{
    if (at < 0 || removed < 0 || at > elements_.size() || removed > elements_.size() - at)
        return false;
    elements_.remove(at, removed);
    elements_.insert(at, inserted.size(), QByteArray());
    for (qsizetype index = 0; index < inserted.size(); ++index)
        elements_[at + index] = inserted.at(index);
    return true;
}

QByteArray JsonArraySplicer::join() const
{
    qsizetype size = 2;
    for (const QByteArray& element : elements_)
        size += element.size() + 1;
    QByteArray joined;
    joined.reserve(size);
    joined += '[';
    for (qsizetype index = 0; index < elements_.size(); ++index) {
        if (index > 0)
            joined += ',';
        joined += elements_.at(index);
    }
    joined += ']';
    return joined;
}
