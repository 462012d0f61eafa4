#include "foundation/JsonArraySplicer.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonArraySplicerTest, SplitsOnlyTheArraysTopLevelCommas)
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
        const std::optional<JsonArraySplicer> splicer = JsonArraySplicer::split(c.text);
        ASSERT_EQ(splicer.has_value(), c.size.has_value());
        if (splicer) {
            EXPECT_EQ(splicer->size(), *c.size);
        }
    }
}

TEST(JsonArraySplicerTest, SplicesJoinToTheEditedArrayAndOutOfRangeChangesNothing)
{
    std::optional<JsonArraySplicer> splicer = JsonArraySplicer::split(R"([{"k":1}, {"k":2},{"k":3}])");
    ASSERT_TRUE(splicer);
    EXPECT_TRUE(splicer->splice(0, 0, {R"({"k":0})"}));
    EXPECT_TRUE(splicer->splice(2, 1, {}));
    EXPECT_TRUE(splicer->splice(3, 0, {"4", "5"}));
    EXPECT_FALSE(splicer->splice(5, 1, {"6"}));
    EXPECT_FALSE(splicer->splice(6, 0, {"6"}));
    EXPECT_FALSE(splicer->splice(-1, 0, {"6"}));
    EXPECT_EQ(splicer->join(), R"([{"k":0},{"k":1},{"k":3},4,5])");
    EXPECT_TRUE(splicer->splice(0, 5, {}));
    EXPECT_EQ(splicer->join(), "[]");
}

} // namespace
