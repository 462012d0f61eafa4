#include "signalry/JsonArrayElements.h"

#include <algorithm>

namespace signalry::JsonArrayElements {

namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isSpace(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isSpace(text.back()))
        text.chop(1);
    return text;
}
} // namespace

Elements split(QByteArrayView text, qsizetype keep)
{
    Elements result;
    qsizetype i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    if (i == text.size() || text[i] != '[')
        return result;
    ++i;

    qsizetype start = i;
    int depth = 0;
    bool inString = false;
    bool emptyElement = false;
    // "[]" holds no element; any other empty one comes of a stray comma.
    const auto close = [&](qsizetype end, bool byComma) {
        const QByteArrayView element = trimmed(text.sliced(start, end - start));
        if (!element.isEmpty()) {
            result.elements.append(element);
            // Dropped in bulk, so each element is moved once at most.
            if (result.elements.size() >= 2 * keep) {
                const qsizetype excess = result.elements.size() - keep;
                result.elements.remove(0, excess);
                result.dropped += excess;
            }
        } else if (byComma || !result.elements.isEmpty())
            emptyElement = true;
        start = end + 1;
    };
    const auto trim = [&] {
        const qsizetype excess = std::max<qsizetype>(0, result.elements.size() - keep);
        result.elements.remove(0, excess);
        result.dropped += excess;
    };
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i; // the escaped character, a quote say, does not end the string
            else if (c == '"')
                inString = false;
            continue;
        }
        switch (c) {
        case '"':
            inString = true;
            break;
        case '{':
        case '[':
            ++depth;
            break;
        case '}':
        case ']':
            if (depth == 0) { // the array's own end
                close(i, false);
                trim();
                result.whole = c == ']' && !emptyElement && trimmed(text.sliced(i + 1)).isEmpty();
                return result;
            }
            --depth;
            break;
        case ',':
            if (depth == 0)
                close(i, true);
            break;
        default:
            break;
        }
    }
    // Cut off: what is left is the last element, whole or not.
    close(text.size(), false);
    trim();
    return result;
}

} // namespace signalry::JsonArrayElements
