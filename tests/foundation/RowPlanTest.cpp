#include "foundation/RowPlan.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QList<qint64> spaced(qsizetype count)
{
    QList<qint64> positions;
    for (qsizetype i = 0; i < count; ++i)
        positions.append(i * kRowGap);
    return positions;
}

QList<qint64> keys(std::initializer_list<qint64> list) { return QList<qint64>(list); }

// Each change of a list touches only the rows it changes, and the positions it leaves keep the
// new order, wherever the list had them.
TEST(RowPlanTest, AChangeTouchesOnlyItsRowsAndKeepsTheOrder)
{
    struct Case {
        const char* name;
        QList<qint64> before;
        QList<qint64> positions;
        QList<qint64> after;
        QSet<qint64> changed;
        QList<qint64> removed;
        qsizetype puts;
    };
    const QList<qint64> five = keys({1, 2, 3, 4, 5});
    const Case cases[] = {
        {"a like in front", five, spaced(5), keys({9, 1, 2, 3, 4, 5}), {9}, {}, 1},
        {"an unlike", five, spaced(5), keys({1, 2, 4, 5}), {}, {3}, 0},
        {"a recent moved to the front from far down", five, spaced(5), keys({5, 1, 2, 3, 4}), {}, {}, 1},
        {"moved to the front of a later part", five, spaced(5), keys({1, 4, 2, 3, 5}), {}, {}, 1},
        {"a record refreshed in place", five, spaced(5), five, {3}, {}, 1},
        {"added at the end", five, spaced(5), keys({1, 2, 3, 4, 5, 6}), {6}, {}, 1},
        {"cut to its first half", five, spaced(5), keys({1, 2}), {}, {3, 4, 5}, 0},
        {"emptied", five, spaced(5), {}, {}, {1, 2, 3, 4, 5}, 0},
        {"first rows of an empty list", {}, {}, keys({7, 8}), {7, 8}, {}, 2},
        {"two swapped in the middle", five, spaced(5), keys({1, 3, 2, 4, 5}), {}, {}, 1},
        {"two apart changed places", five, spaced(5), keys({1, 4, 3, 2, 5}), {}, {}, 3},
        {"no room left between two rows", keys({1, 2}), keys({10, 11}), keys({1, 3, 2}), {3}, {}, 3},
        {"nothing changed", five, spaced(5), five, {}, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RowPlan<qint64> plan = RowPlan<qint64>::between(c.before, c.positions, c.after, c.changed);
        QList<qint64> removed = plan.removed;
        std::sort(removed.begin(), removed.end());
        EXPECT_EQ(removed, c.removed);
        EXPECT_EQ(plan.put.size(), c.puts);
        ASSERT_EQ(plan.positions.size(), c.after.size());
        EXPECT_TRUE(std::is_sorted(plan.positions.cbegin(), plan.positions.cend()));
        EXPECT_EQ(std::adjacent_find(plan.positions.cbegin(), plan.positions.cend()), plan.positions.cend()) << "two rows at one place";
        // A row not put keeps the position it had.
        for (qsizetype i = 0; i < c.after.size(); ++i) {
            if (plan.put.contains(i))
                continue;
            const qsizetype was = c.before.indexOf(c.after.at(i));
            ASSERT_GE(was, 0);
            EXPECT_EQ(plan.positions.at(i), c.positions.at(was));
        }
    }
}

// Likes always come in front: a long run of them never runs out of room, and the row count of
// each stays one.
TEST(RowPlanTest, ManyLikesInFrontEachPutOneRow)
{
    QList<qint64> order;
    QList<qint64> positions;
    for (qint64 key = 1; key <= 2000; ++key) {
        QList<qint64> after = order;
        after.prepend(key);
        const RowPlan<qint64> plan = RowPlan<qint64>::between(order, positions, after, {key});
        ASSERT_EQ(plan.put.size(), 1);
        order = after;
        positions = plan.positions;
    }
    EXPECT_TRUE(std::is_sorted(positions.cbegin(), positions.cend()));
}

} // namespace
