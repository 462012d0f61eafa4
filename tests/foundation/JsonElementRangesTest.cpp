#include "foundation/JsonElementRanges.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonElementRangesTest, FindsOnlyTheArraysTopLevelElements)
{
    struct Case {
        QByteArray text;
        std::optional<qsizetype> size;
    };
    const Case cases[] = {
        {"[]", 0},
        {" [ ] ", 0},
        {R"([{"a":"x,]}\"y"},[1,[2,3]],"s,t",4])", 4},
        {"[ 1 , 2 ]", 2},
        {"{}", std::nullopt},
        {"[1,2", std::nullopt},
        {"[1,,2]", std::nullopt},
        {"[1,2] x", std::nullopt},
        {"[1}", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const std::optional<QList<std::pair<qsizetype, qsizetype>>> ranges = JsonElementRanges::of(c.text);
        ASSERT_EQ(ranges.has_value(), c.size.has_value());
        if (ranges) {
            EXPECT_EQ(ranges->size(), *c.size);
        }
    }
}

} // namespace
