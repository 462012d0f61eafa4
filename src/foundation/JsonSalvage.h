#pragma once

#include <QByteArray>
#include <QJsonObject>

// What can still be read of a JSON object text that no longer parses as a whole (cut short by a
// crash, garbled in places): its top-level entries ("key": value) that parse on their own, each
// by the strict reader. An entry that does not is lost, and so is whatever follows a fault that
// upsets the text's nesting or quoting; everything before it survives.
namespace JsonSalvage {

// Nothing when the text does not start as an object. A key that appears twice keeps its last
// value, as in a parsed object.
QJsonObject objectEntries(const QByteArray& text);

} // namespace JsonSalvage
