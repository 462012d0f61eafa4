#include "foundation/Text.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <locale.h>
#include <vector>

namespace Text {

namespace {
// The end of the first `count` characters, or -1 when the text has no more than that.
qsizetype endOfGraphemes(const QString& text, qsizetype count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype seen = 0; seen < count; ++seen) {
        if (finder.toNextBoundary() == -1)
            return -1;
    }
    return finder.position() < text.size() ? finder.position() : -1;
}

bool isLineBreakOrTab(QChar unit)
{
    return unit == u'\n' || unit == u'\r' || unit == u'\t' || unit == u'\v' || unit == u'\f' || unit == QChar(0x85)
        || unit == QChar::LineSeparator || unit == QChar::ParagraphSeparator;
}

// C0 controls, DEL and C1 controls.
bool isControl(QChar unit) { return unit.unicode() < 0x20 || (unit.unicode() >= 0x7f && unit.unicode() <= 0x9f); }

bool isHorizontalSpace(QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; }

// The C locale, made once: formatting switches this thread to it for the one call, so numbers
// never take the user's decimal comma and no other thread is affected.
locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}
} // namespace

qsizetype graphemeCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QString truncated(const QString& text, qsizetype maxGraphemes, const QString& suffix)
{
    const qsizetype end = endOfGraphemes(text, std::max<qsizetype>(maxGraphemes, 0));
    return end < 0 ? text : text.left(end) + suffix;
}

QString trimmed(const QString& text)
{
    // QChar::isSpace is exactly this set.
    return text.trimmed();
}

QString trimmedSpaces(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isHorizontalSpace(text.at(start)))
        ++start;
    while (end > start && isHorizontalSpace(text.at(end - 1)))
        --end;
    return text.mid(start, end - start);
}

QString oneLine(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar unit : text) {
        if (isLineBreakOrTab(unit))
            shown.append(u' ');
        else if (!isControl(unit))
            shown.append(unit);
    }
    return shown;
}

QString format(const char* pattern, ...)
{
    va_list arguments;
    va_start(arguments, pattern);
    va_list again;
    va_copy(again, arguments);
    const locale_t previous = uselocale(cLocale());
    // Most texts fit the buffer on the stack; a longer one is formatted again at its length.
    char buffer[128];
    const int length = std::vsnprintf(buffer, sizeof buffer, pattern, arguments);
    QByteArray text;
    if (length >= static_cast<int>(sizeof buffer)) {
        std::vector<char> large(static_cast<size_t>(length) + 1);
        std::vsnprintf(large.data(), large.size(), pattern, again);
        text = QByteArray(large.data(), length);
    } else if (length > 0) {
        text = QByteArray(buffer, length);
    }
    uselocale(previous);
    va_end(again);
    va_end(arguments);
    return QString::fromUtf8(text);
}

} // namespace Text
