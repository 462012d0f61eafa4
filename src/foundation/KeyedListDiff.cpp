#include "foundation/KeyedListDiff.h"

#include <algorithm>

std::optional<QList<KeyedListDiff::Splice>> KeyedListDiff::splices(const QList<qint64>& before, const QList<qint64>& after,
    const QSet<qint64>& changed, qsizetype maxInserted)
{
    const auto same = [&changed](qint64 a, qint64 b) { return a == b && !changed.contains(a); };
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < shorter && same(before.at(prefix), after.at(prefix)))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && same(before.at(before.size() - 1 - suffix), after.at(after.size() - 1 - suffix)))
        ++suffix;
    const QList<qint64> old = before.mid(prefix, before.size() - prefix - suffix);
    const QList<qint64> now = after.mid(prefix, after.size() - prefix - suffix);
    if (old.isEmpty() && now.isEmpty())
        return QList<Splice>{};
    // A key moved to the front of what changed (a recent applied again), everything between
    // unchanged: one element out and one in (its record as it is now), however far it moved.
    if (old.size() == now.size() && old.size() > 1 && now.first() == old.last()
        && std::equal(old.cbegin(), old.cend() - 1, now.cbegin() + 1, same))
        return QList<Splice>{{prefix + old.size() - 1, 1, {}}, {prefix, 0, {now.first()}}};
    if (now.size() > maxInserted)
        return std::nullopt;
    return QList<Splice>{{prefix, old.size(), now}};
}
