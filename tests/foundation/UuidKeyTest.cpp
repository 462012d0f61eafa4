#include "foundation/UuidKey.h"

#include <QHash>
#include <QSet>
#include <QUuid>

#include <gtest/gtest.h>

namespace {

// Ids whose first and last fields carry the same number, as some stored lists have them.
QUuid patternedId(quint32 n)
{
    return QUuid(QStringLiteral("%1-0000-4000-8000-%2").arg(n, 8, 16, QLatin1Char('0')).arg(n, 12, 16, QLatin1Char('0')));
}

TEST(UuidKeyTest, PatternedIdsSpreadOverTheBuckets)
{
    constexpr int kIds = 20000;
    QSet<size_t> hashes;
    for (quint32 n = 1; n <= kIds; ++n)
        hashes.insert(qHash(UuidKey(patternedId(n)), 0));
    // Distinct ids, (almost) distinct hashes: the fields must not cancel each other out.
    EXPECT_GT(hashes.size(), kIds * 99 / 100);
}

TEST(UuidKeyTest, IndexesAndFindsEveryId)
{
    QHash<UuidKey, int> index;
    for (quint32 n = 1; n <= 1000; ++n)
        index.insert(patternedId(n), int(n));
    ASSERT_EQ(index.size(), 1000);
    for (quint32 n = 1; n <= 1000; ++n)
        EXPECT_EQ(index.value(patternedId(n), -1), int(n));
    EXPECT_EQ(index.value(QUuid::createUuid(), -1), -1);
}

} // namespace
