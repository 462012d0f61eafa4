#pragma once

#include <QByteArray>
#include <QList>

namespace signalry {

// The top-level elements of a JSON array text, each as its own text, found by scanning the
// nesting and the strings rather than by parsing, so a text that does not parse as a whole (one
// record garbled, the end cut off) still yields every element around the fault. Nothing when the
// text does not start as an array.
namespace JsonArrayElements {

QList<QByteArray> split(const QByteArray& text);

} // namespace JsonArrayElements

} // namespace signalry
