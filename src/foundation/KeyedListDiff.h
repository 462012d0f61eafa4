#pragma once

#include <QList>
#include <QSet>

#include <optional>

// The few splices that turn one list of keys into another, for a store that keeps the list's
// elements in that order and is told only what changed: a key added, dropped or moved to the
// front, or a changed element under a key that stayed. Nothing when the change is larger than
// `maxInserted` elements (a bulk change is written whole).
namespace KeyedListDiff {

struct Splice {
    qsizetype at = 0;
    qsizetype removed = 0;
    // The keys whose elements go in at `at`.
    QList<qint64> inserted;
};

// Applied in order, each on the list the one before left.
std::optional<QList<Splice>> splices(const QList<qint64>& before, const QList<qint64>& after, const QSet<qint64>& changed,
    qsizetype maxInserted);

} // namespace KeyedListDiff
