#include "signalry/JsonArrayElements.h"

namespace signalry::JsonArrayElements {

namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
} // namespace

QList<QByteArray> split(const QByteArray& text)
{
    QList<QByteArray> elements;
    qsizetype i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    if (i == text.size() || text[i] != '[')
        return elements;
    ++i;

    qsizetype start = i;
    int depth = 0;
    bool inString = false;
    const auto close = [&](qsizetype end) {
        const QByteArray element = text.mid(start, end - start).trimmed();
        if (!element.isEmpty())
            elements.append(element);
        start = end + 1;
    };
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
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
                close(i);
                return elements;
            }
            --depth;
            break;
        case ',':
            if (depth == 0)
                close(i);
            break;
        default:
            break;
        }
    }
    // Cut off: what is left is the last element, whole or not.
    close(text.size());
    return elements;
}

} // namespace signalry::JsonArrayElements
