#include "foundation/KeyedListDiff.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QList<qint64> applied(QList<qint64> keys, const QList<KeyedListDiff::Splice>& splices)
{
    for (const KeyedListDiff::Splice& splice : splices) {
        keys.remove(splice.at, splice.removed);
        for (qsizetype index = 0; index < splice.inserted.size(); ++index)
            keys.insert(splice.at + index, splice.inserted.at(index));
    }
    return keys;
}

QList<qint64> upTo(qint64 count)
{
    QList<qint64> keys;
    for (qint64 key = 1; key <= count; ++key)
        keys.append(key);
    return keys;
}

// Each change a list sees makes splices that give the new list back, and as few elements as the
// change holds go in: a like, an unlike, a recent applied again from far down, a changed record.
TEST(KeyedListDiffTest, SplicesRemakeTheListFromTheFewElementsThatChanged)
{
    const QList<qint64> many = upTo(1000);
    struct Case {
        const char* name;
        QList<qint64> before;
        QList<qint64> after;
        QSet<qint64> changed;
        qsizetype inserted;
    };
    QList<qint64> moved = many;
    moved.move(700, 0);
    QList<qint64> dropped = many;
    dropped.removeAt(400);
    const Case cases[] = {
        {"nothing", many, many, {}, 0},
        {"a key added in front", many, QList<qint64>{5000} + many, {}, 1},
        {"a key dropped", many, dropped, {}, 0},
        {"a key moved to the front", many, moved, {}, 1},
        {"a changed record in place", many, many, {500}, 1},
        {"a changed record moved to the front", many, moved, {701}, 1},
        {"from empty", {}, {1, 2}, {}, 2},
        {"to empty", {1, 2}, {}, {}, 0},
        {"the same key twice", {1, 1, 2}, {1, 2}, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<QList<KeyedListDiff::Splice>> splices = KeyedListDiff::splices(c.before, c.after, c.changed, 8);
        ASSERT_TRUE(splices);
        // (Qt's own list comparison hands a null pointer to memcmp for an empty list)
        EXPECT_TRUE(std::ranges::equal(applied(c.before, *splices), c.after));
        qsizetype inserted = 0;
        for (const KeyedListDiff::Splice& splice : *splices)
            inserted += splice.inserted.size();
        EXPECT_LE(inserted, c.inserted);
        for (const qint64 key : c.changed)
            EXPECT_GE(inserted, 1) << "changed record " << key << " is written again";
    }
}

TEST(KeyedListDiffTest, ABulkChangeIsLeftToAWholeWrite)
{
    QList<qint64> reversed = upTo(100);
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_FALSE(KeyedListDiff::splices(upTo(100), reversed, {}, 8));
    EXPECT_FALSE(KeyedListDiff::splices({}, upTo(9), {}, 8));
    EXPECT_FALSE(KeyedListDiff::splices(upTo(100), upTo(100), {3, 90}, 8)) << "two changed records far apart";
}

} // namespace
