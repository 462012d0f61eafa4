#include "foundation/JsonArraySplicer.h"

namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
} // namespace

std::optional<JsonArraySplicer> JsonArraySplicer::split(const QByteArray& array)
{
    JsonArraySplicer splicer(array);
    const QByteArray& text = splicer.array_;
    qsizetype at = 0;
    const auto skipSpace = [&] {
        while (at < text.size() && isSpace(text.at(at)))
            ++at;
    };
    skipSpace();
    if (at == text.size() || text.at(at) != '[')
        return std::nullopt;
    ++at;
    skipSpace();
    if (at < text.size() && text.at(at) == ']') {
        ++at;
        skipSpace();
        return at == text.size() ? std::optional(std::move(splicer)) : std::nullopt;
    }
    qsizetype begin = at;
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
        } else if (c == '}' || c == ']') {
            if (depth-- > 0)
                continue;
            // The array's own end.
            qsizetype end = at;
            while (end > begin && isSpace(text.at(end - 1)))
                --end;
            if (end == begin)
                return std::nullopt;
            splicer.elements_.append(QByteArray::fromRawData(text.constData() + begin, end - begin));
            for (++at; at < text.size(); ++at)
                if (!isSpace(text.at(at)))
                    return std::nullopt;
            return c == ']' ? std::optional(std::move(splicer)) : std::nullopt;
        } else if (c == ',' && depth == 0) {
            qsizetype end = at;
            while (end > begin && isSpace(text.at(end - 1)))
                --end;
            if (end == begin)
                return std::nullopt;
            splicer.elements_.append(QByteArray::fromRawData(text.constData() + begin, end - begin));
            begin = at + 1;
            while (begin < text.size() && isSpace(text.at(begin)))
                ++begin;
        }
    }
    return std::nullopt;
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
