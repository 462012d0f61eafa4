#pragma once

#include <QList>

#include <algorithm>
#include <optional>

// How a list became another by one element put in or taken out (a like, an unlike), found by
// comparing them, so that a view of tens of thousands of entries can follow the one step instead
// of rebuilding everything.
struct ListStep {
    qsizetype index = 0;
    // Put in at `index` (in the new list); otherwise taken out of `index` (in the old one).
    bool inserted = false;

    // Nothing when the lists differ in any other way.
    template <typename T>
    static std::optional<ListStep> between(const QList<T>& before, const QList<T>& after)
    {
        const qsizetype grown = after.size() - before.size();
        if (grown != 1 && grown != -1)
            return std::nullopt;
        const QList<T>& longer = grown > 0 ? after : before;
        const QList<T>& shorter = grown > 0 ? before : after;
        const qsizetype index = std::mismatch(shorter.cbegin(), shorter.cend(), longer.cbegin()).first - shorter.cbegin();
        if (!std::equal(shorter.cbegin() + index, shorter.cend(), longer.cbegin() + index + 1))
            return std::nullopt;
        return ListStep{index, grown > 0};
    }
};
