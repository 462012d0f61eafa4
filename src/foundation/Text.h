#pragma once

#include <QString>

// Text helpers that count what the user sees: characters are extended grapheme clusters (an
// emoji with its modifiers, a letter with its combining marks, a flag), never code units.
namespace Text {

qsizetype graphemeCount(const QString& text);

// The first `maxGraphemes` characters followed by `suffix` when the text is longer, otherwise
// the text unchanged. A cut never splits a character.
QString truncated(const QString& text, qsizetype maxGraphemes, const QString& suffix = {});

// White space and line breaks removed from both ends: every Unicode separator (Zs, Zl, Zp),
// tab, line feed, vertical tab, form feed, carriage return and next line (U+0085).
QString trimmed(const QString& text);

// Only horizontal white space (tab and the Zs space separators) removed from both ends; line
// breaks stay.
QString trimmedSpaces(const QString& text);

// Catalogue text as one line, the way every label shows it: line breaks and tabs become spaces,
// and the other control characters (C0, DEL, C1), which fonts draw as boxes, are left out. An
// escape or control sequence goes whole, as a terminal would take it: a control sequence
// ("\x1b[0m") with its parameters and final character, a command string (OSC, DCS, SOS, PM, APC)
// up to its terminator, or the text's end when it has none.
QString oneLine(const QString& text);

// The text shows nothing once it is one line (oneLine): what is left is white space and
// zero-width marks at most.
bool showsNothing(const QString& text);

// printf-style formatting with the C library's conversions and rounding ("%.1f" of 2.25 gives
// "2.2", the nearest value to the binary number), always with '.' as the decimal point
// whatever the user's locale.
QString format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

} // namespace Text
