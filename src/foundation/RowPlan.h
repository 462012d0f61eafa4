#pragma once

#include "foundation/SettingsChange.h"

#include <QList>
#include <QSet>

#include <algorithm>
#include <iterator>

// Which rows of a stored list a change of its keys touches, so that a like is one row put, an
// unlike one row removed and a move one row's position changed, however long the list. The
// rows between the unchanged ends are put again at positions between those ends; a key moved to
// the front of them, the rest unchanged, is the one row put. When no room is left between two
// positions every row is put again, spread apart.
template <typename Key>
struct RowPlan {
    QList<Key> removed;
    // Indexes in `after` of the keys whose rows are put.
    QList<qsizetype> put;
    // The position of each key of `after`.
    QList<qint64> positions;

    // `before` are the stored keys at `beforePositions`, `changed` the keys whose record changed.
    static RowPlan between(const QList<Key>& before, const QList<qint64>& beforePositions, const QList<Key>& after,
        const QSet<Key>& changed)
    {
        const auto same = [&changed](const Key& a, const Key& b) { return a == b && !changed.contains(a); };
        const qsizetype shorter = std::min(before.size(), after.size());
        qsizetype prefix = 0;
        while (prefix < shorter && same(before.at(prefix), after.at(prefix)))
            ++prefix;
        qsizetype suffix = 0;
        while (suffix < shorter - prefix && same(before.at(before.size() - 1 - suffix), after.at(after.size() - 1 - suffix)))
            ++suffix;
        const qsizetype oldCount = before.size() - prefix - suffix;
        const qsizetype newCount = after.size() - prefix - suffix;

        RowPlan plan;
        const QSet<Key> kept(after.cbegin() + prefix, after.cend() - suffix);
        for (qsizetype i = prefix; i < prefix + oldCount; ++i)
            if (!kept.contains(before.at(i)))
                plan.removed.append(before.at(i));
        // The positions kept are copied once into room for all: a long list's change would
        // otherwise copy them two or three times over, into memory the system hands out afresh.
        plan.positions.reserve(after.size());
        const auto keep = [&plan, &beforePositions](qsizetype from, qsizetype count) {
            std::copy_n(beforePositions.cbegin() + from, count, std::back_inserter(plan.positions));
        };
        keep(0, prefix);
        const bool movedToFront = oldCount == newCount && oldCount > 1 && after.at(prefix) == before.at(prefix + oldCount - 1)
            && std::equal(before.cbegin() + prefix, before.cbegin() + prefix + oldCount - 1, after.cbegin() + prefix + 1, same);
        if (movedToFront) {
            const qint64 next = beforePositions.at(prefix);
            const std::optional<qint64> previous = prefix > 0 ? std::optional(beforePositions.at(prefix - 1)) : std::nullopt;
            if (!previous || next - *previous >= 2) {
                plan.positions.append(previous ? *previous + (next - *previous) / 2 : next - kRowGap);
                keep(prefix, oldCount - 1);
                keep(before.size() - suffix, suffix);
                plan.put = {prefix};
                return plan;
            }
        } else if (const std::optional<QList<qint64>> between = spread(newCount,
                       prefix > 0 ? std::optional(beforePositions.at(prefix - 1)) : std::nullopt,
                       suffix > 0 ? std::optional(beforePositions.at(before.size() - suffix)) : std::nullopt)) {
            plan.positions.append(*between);
            keep(before.size() - suffix, suffix);
            for (qsizetype i = prefix; i < prefix + newCount; ++i)
                plan.put.append(i);
            return plan;
        }
        // No room left between two positions: every row anew.
        plan.positions = *spread(after.size(), std::nullopt, std::nullopt);
        plan.put.clear();
        for (qsizetype i = 0; i < after.size(); ++i)
            plan.put.append(i);
        return plan;
    }

    // `count` positions in order between `low` and `high` (either end open); nothing without room.
    static std::optional<QList<qint64>> spread(qsizetype count, std::optional<qint64> low, std::optional<qint64> high)
    {
        QList<qint64> positions;
        positions.reserve(count);
        if (low && high) {
            const qint64 step = (*high - *low) / (count + 1);
            if (count > 0 && step < 1)
                return std::nullopt;
            for (qsizetype i = 0; i < count; ++i)
                positions.append(*low + step * (i + 1));
        } else if (high) {
            for (qsizetype i = 0; i < count; ++i)
                positions.append(*high - (count - i) * kRowGap);
        } else {
            const qint64 first = low ? *low + kRowGap : 0;
            for (qsizetype i = 0; i < count; ++i)
                positions.append(first + i * kRowGap);
        }
        return positions;
    }
};
