#include "state/PopularSort.h"

#include <gtest/gtest.h>

namespace {

TEST(PopularSortTest, EveryCaseInOrderAndOnlyItsExactTitleNamesIt)
{
    EXPECT_EQ(allPopularSorts(), (QList<PopularSort>{PopularSort::Downloads, PopularSort::Likes, PopularSort::Recent}));
    for (PopularSort sort : allPopularSorts())
        EXPECT_EQ(popularSortFromTitle(popularSortTitle(sort)), sort) << popularSortTitle(sort).toStdString();

    const std::pair<const char*, std::optional<PopularSort>> titles[] = {
        {"Top likes", PopularSort::Likes},
        {"Top downloads", PopularSort::Downloads},
        {"Recently added", PopularSort::Recent},
        {"top likes", std::nullopt},
        {"Top liked", std::nullopt},
        {" Top likes", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [title, sort] : titles)
        EXPECT_EQ(popularSortFromTitle(QString::fromUtf8(title)), sort) << title;
}

} // namespace
