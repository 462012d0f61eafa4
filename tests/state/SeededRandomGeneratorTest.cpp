#include "state/SeededRandomGenerator.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {
QList<int> shuffled(qint64 seed, int count)
{
    QList<int> list(count);
    std::iota(list.begin(), list.end(), 0);
    SeededRandomGenerator generator(seed);
    generator.shuffle(list);
    return list;
}

TEST(SeededRandomGeneratorTest, StepsTheLinearCongruentialSequence)
{
    SeededRandomGenerator generator(0);
    EXPECT_EQ(generator.next(), 12345u);
    EXPECT_EQ(generator.next(), 13622895711870u);
    EXPECT_EQ(generator.next(), 17423423094097455071u) << "wraps modulo 2^64";
}

TEST(SeededRandomGeneratorTest, NegativeSeedIsTakenBitForBit)
{
    SeededRandomGenerator generator(-1);
    EXPECT_EQ(generator.next(), 18446744072606048716u);
}

TEST(SeededRandomGeneratorTest, ShuffleGivesTheSameOrderForTheSameSeed)
{
    // Orders computed independently from the draw rule (widening multiply with rejection).
    EXPECT_EQ(shuffled(0, 10), (QList<int>{0, 1, 9, 6, 8, 4, 7, 5, 2, 3}));
    EXPECT_EQ(shuffled(42, 10), (QList<int>{0, 7, 5, 4, 1, 2, 6, 9, 3, 8}));
    EXPECT_EQ(shuffled(-1, 10), (QList<int>{9, 0, 2, 4, 6, 8, 1, 3, 7, 5}));
    EXPECT_EQ(shuffled(42, 10), shuffled(42, 10));
}

TEST(SeededRandomGeneratorTest, ListsShorterThanTwoDrawNothing)
{
    SeededRandomGenerator generator(7);
    QList<int> one{5};
    generator.shuffle(one);
    EXPECT_EQ(one, QList<int>{5});
    EXPECT_EQ(generator.next(), SeededRandomGenerator(7).next());
}
} // namespace
