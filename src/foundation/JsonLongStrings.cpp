#include "foundation/JsonLongStrings.h"

#include <cstring>

namespace {
// A parsed stand-in is this character followed by the string's number: JSON text never holds it
// unescaped, and a long string with escapes is never taken out.
constexpr char16_t kMark = u'\u0001';
const QByteArray kMarkEscape = QByteArrayLiteral("\\u0001");

// The quote that ends the string whose bytes start at `from`, or -1.
qsizetype closingQuote(const QByteArray& text, qsizetype from)
{
    const char* const data = text.constData();
    for (qsizetype at = from; at < text.size();) {
        const void* found = std::memchr(data + at, '"', size_t(text.size() - at));
        if (!found)
            return -1;
        const qsizetype quote = static_cast<const char*>(found) - data;
        qsizetype backslashes = 0;
        while (quote - backslashes > from && data[quote - backslashes - 1] == '\\')
            ++backslashes;
        if (backslashes % 2 == 0)
            return quote;
        at = quote + 1;
    }
    return -1;
}
} // namespace

JsonLongStrings::JsonLongStrings(const QByteArray& text, qsizetype minimum) : text_(text)
{
    const char* const data = text.constData();
    qsizetype copied = 0;
    for (qsizetype at = 0; at < text.size();) {
        const void* found = std::memchr(data + at, '"', size_t(text.size() - at));
        if (!found)
            break;
        const qsizetype begin = static_cast<const char*>(found) - data + 1;
        const qsizetype end = closingQuote(text, begin);
        if (end < 0)
            break; // a damaged text: the parser says where
        const qsizetype length = end - begin;
        if (length >= minimum && !std::memchr(data + begin, '\\', size_t(length))) {
            rest_.append(data + copied, begin - copied);
            rest_ += kMarkEscape + QByteArray::number(taken_.size());
            taken_.append({begin, length});
            copied = end;
        }
        at = end + 1;
    }
    if (taken_.isEmpty())
        rest_ = text;
    else
        rest_.append(data + copied, text.size() - copied);
}

std::optional<QByteArrayView> JsonLongStrings::taken(const QString& standIn) const
{
    if (standIn.size() < 2 || standIn.front() != QChar(kMark))
        return std::nullopt;
    bool ok = false;
    const qsizetype index = standIn.mid(1).toLongLong(&ok);
    if (!ok || index < 0 || index >= taken_.size() || standIn != QChar(kMark) + QString::number(index))
        return std::nullopt;
    const auto [begin, length] = taken_.at(index);
    return QByteArrayView(text_.constData() + begin, length);
}
