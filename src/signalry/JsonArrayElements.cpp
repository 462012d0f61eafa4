#include "signalry/JsonArrayElements.h"

#include <algorithm>
#include <utility>

namespace signalry::JsonArrayElements {

namespace {
// The JSON reader refuses an element nested deeper: past it only the depth is counted.
constexpr qsizetype kDeepestTracked = 1024;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isSpace(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isSpace(text.back()))
        text.chop(1);
    return text;
}

char opener(char closer) { return closer == '}' ? '{' : '['; }
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
    // The brackets open in the current element, innermost last, and how many more are open
    // beyond those tracked.
    QByteArray open;
    qsizetype untracked = 0;
    bool inString = false;
    qsizetype stringStart = 0;
    // Before this the text is scanned again as what it is outside a string: the string that
    // seemed to run to it had lost its closing quote.
    qsizetype rescanEnd = -1;
    // Where the last comma inside an object of the current element was, while only spaces
    // followed it.
    qsizetype memberComma = -1;
    bool emptyElement = false;
    bool broken = false;
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
        open.clear();
        untracked = 0;
    };
    const auto trim = [&] {
        const qsizetype excess = std::max<qsizetype>(0, result.elements.size() - keep);
        result.elements.remove(0, excess);
        result.dropped += excess;
    };
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i; // the escaped character, a quote say, does not end the string
            } else if (c == '"') {
                inString = false;
                // A string is followed by what ends a name or a value. Anything else means this
                // quote opens a string, and an earlier one lost its closing quote: what was taken
                // for text is structure, and the element costs only itself.
                qsizetype next = i + 1;
                while (next < text.size() && isSpace(text[next]))
                    ++next;
                if (next < text.size() && !QByteArrayView(",:}]").contains(text[next])) {
                    broken = true;
                    rescanEnd = i;
                    i = stringStart;
                }
            }
            continue;
        }
        if (i < rescanEnd && (c == '\\' || c == '"')) {
            i += c == '\\'; // an escaped character, never a string's start
            continue;
        }
        if (isSpace(c))
            continue;
        const qsizetype comma = std::exchange(memberComma, -1);
        switch (c) {
        case '"':
            inString = true;
            stringStart = i;
            break;
        case '{':
        case '[':
            // A member of an object starts with its name: an element that lost its closing
            // brace ends at that comma, and the next one starts here, so it costs only itself.
            if (comma >= 0) {
                close(comma, true);
                broken = true;
            }
            if (open.size() < kDeepestTracked)
                open.append(c);
            else
                ++untracked;
            break;
        case '}':
        case ']': {
            if (untracked > 0) {
                --untracked;
                break;
            }
            if (open.isEmpty() && c == ']') { // the array's own end
                close(i, false);
                trim();
                result.whole = !emptyElement && !broken && trimmed(text.sliced(i + 1)).isEmpty();
                return result;
            }
            // A closer of an outer bracket also closes those the element lost; one that closes
            // nothing open is stray. Either way the element does not read.
            const qsizetype match = open.lastIndexOf(opener(c));
            broken = broken || match < 0 || match != open.size() - 1;
            if (match >= 0)
                open.truncate(match);
            break;
        }
        case ',':
            if (open.isEmpty() && untracked == 0)
                close(i, true);
            else if (untracked == 0 && open.back() == '{')
                memberComma = i;
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
