#include "foundation/LegacyJsonText.h"

#include <cstring>

qsizetype LegacyJsonText::closingQuote(QByteArrayView text, qsizetype from)
{
    for (qsizetype at = from; at < text.size(); ++at) {
        const void* quote = std::memchr(text.data() + at, '"', size_t(text.size() - at));
        if (!quote)
            return -1;
        at = static_cast<const char*>(quote) - text.data();
        qsizetype backslashes = 0;
        while (at - backslashes > from && text.at(at - backslashes - 1) == '\\')
            ++backslashes;
        if (backslashes % 2 == 0)
            return at;
    }
    return -1;
}

qsizetype LegacyJsonText::valueEnd(QByteArrayView text, qsizetype from)
{
    int depth = 0;
    for (qsizetype at = from; at < text.size(); ++at) {
        switch (text.at(at)) {
        case '"':
            at = closingQuote(text, at + 1);
            if (at < 0)
                return text.size();
            break;
        case '{':
        case '[': ++depth; break;
        case '}':
        case ']':
            if (depth-- == 0)
                return at;
            break;
        case ',':
            if (depth == 0)
                return at;
            break;
        default: break;
        }
    }
    return text.size();
}
