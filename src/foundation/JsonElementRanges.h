#pragma once

#include <QByteArray>
#include <QList>

#include <optional>
#include <utility>

// Where each element of a JSON array lies in its text ([begin, size) of its bytes, without the
// space around it), found by reading brackets and strings only, never parsed: a list of tens of
// megabytes is cut into records that decode apart, on several cores.
namespace JsonElementRanges {

// Nothing for text that is not one JSON array.
std::optional<QList<std::pair<qsizetype, qsizetype>>> of(const QByteArray& text);

} // namespace JsonElementRanges
