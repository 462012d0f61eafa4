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

constexpr char16_t kEscape = 0x1b;
constexpr char16_t kBell = 0x07;
constexpr char16_t kCancel = 0x18;
constexpr char16_t kSubstitute = 0x1a;
constexpr char16_t kStringTerminator = 0x9c;

bool inRange(char16_t unit, char16_t first, char16_t last) { return unit >= first && unit <= last; }

// The end of a control sequence's parameters, intermediates and final character, from `at`
// (just past its introducer). A character that belongs to none of them ends it and is kept.
qsizetype endOfControlSequence(const QString& text, qsizetype at)
{
    while (at < text.size() && inRange(text.at(at).unicode(), 0x30, 0x3f))
        ++at;
    while (at < text.size() && inRange(text.at(at).unicode(), 0x20, 0x2f))
        ++at;
    if (at < text.size() && inRange(text.at(at).unicode(), 0x40, 0x7e))
        ++at;
    return at;
}

// The end of a command string (operating system command, device control and the like) from
// `at`: past its terminator (ST, either form, or BEL), at an escape that starts anything else,
// past a cancel, or the text's end, as a terminal reads it.
qsizetype endOfCommandString(const QString& text, qsizetype at)
{
    for (; at < text.size(); ++at) {
        const char16_t unit = text.at(at).unicode();
        if (unit == kBell || unit == kStringTerminator || unit == kCancel || unit == kSubstitute)
            return at + 1;
        if (unit == kEscape)
            return at + 1 < text.size() && text.at(at + 1) == u'\\' ? at + 2 : at;
    }
    return at;
}

// The end of the escape or control sequence that starts at `at` with ESC or a C1 introducer,
// so that none of it shows; `at + 1` for a lone control character.
qsizetype endOfSequence(const QString& text, qsizetype at)
{
    char16_t introducer = text.at(at).unicode();
    qsizetype next = at + 1;
    // ESC and a character of 0x40 to 0x5F is the two-character form of a C1 introducer.
    if (introducer == kEscape && next < text.size() && inRange(text.at(next).unicode(), 0x40, 0x5f)) {
        introducer = text.at(next).unicode() + 0x40;
        ++next;
    } else if (introducer == kEscape) {
        // Any other escape: intermediates, then one final character.
        while (next < text.size() && inRange(text.at(next).unicode(), 0x20, 0x2f))
            ++next;
        return next < text.size() && inRange(text.at(next).unicode(), 0x30, 0x7e) ? next + 1 : next;
    }
    switch (introducer) {
    case 0x9b: // control sequence introducer
        return endOfControlSequence(text, next);
    case 0x90: // device control string
    case 0x98: // start of string
    case 0x9d: // operating system command
    case 0x9e: // privacy message
    case 0x9f: // application program command
        return endOfCommandString(text, next);
    default: return next;
    }
}

bool startsSequence(QChar unit) { return unit.unicode() == kEscape || inRange(unit.unicode(), 0x80, 0x9f); }

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
    for (qsizetype at = 0; at < text.size();) {
        const QChar unit = text.at(at);
        if (isLineBreakOrTab(unit)) {
            shown.append(u' ');
            ++at;
        } else if (startsSequence(unit)) {
            at = endOfSequence(text, at);
        } else {
            if (!isControl(unit))
                shown.append(unit);
            ++at;
        }
    }
    return shown;
}

bool showsNothing(const QString& text)
{
    const QString shown = oneLine(text);
    return std::all_of(shown.cbegin(), shown.cend(), [](QChar unit) { return unit.isSpace() || unit.category() == QChar::Other_Format; });
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
