#pragma once

#include <QByteArrayView>

// JSON text read by its strings and brackets only, never parsed: how the old settings' import
// finds entries and list elements in texts of tens of megabytes, or in damaged ones.
namespace LegacyJsonText {

// The quote that ends the string whose characters start at `from`, or -1.
qsizetype closingQuote(QByteArrayView text, qsizetype from);

// Where the value (or object member) that starts at `from` ends: the first ',' or closing
// bracket outside its strings and its own brackets; the text's size when there is none.
qsizetype valueEnd(QByteArrayView text, qsizetype from);

} // namespace LegacyJsonText
