#pragma once

#include <QByteArrayView>
#include <QList>

namespace signalry {

// The top-level elements of a JSON array text, each as a view into the text, found by scanning
// the nesting and the strings rather than by parsing, so a text that does not parse as a whole
// (one record garbled, the end cut off) still yields every element around the fault, and a long
// text is never copied. An element that lost a closing bracket ends where an object of it is
// followed by what can only start the next element (an object or array after a member's comma),
// and a string that lost its closing quote ends where a quote is followed by what no string is,
// so either costs only itself. Nothing when the text does not start as an array.
namespace JsonArrayElements {

struct Elements {
    // The last ones, at most as many as asked for, in the text's order.
    QList<QByteArrayView> elements;
    // How many came before them.
    qsizetype dropped = 0;
    // The text is one array, closed, with no empty element, no element whose brackets do not
    // match and nothing after it.
    bool whole = false;
};

// The views point into `text`, which must outlive them. Keeping only the last `keep` bounds the
// memory a long text of tiny elements can take.
Elements split(QByteArrayView text, qsizetype keep);

} // namespace JsonArrayElements

} // namespace signalry
