#include "foundation/JsonElementChanges.h"

#include <gtest/gtest.h>

namespace {

// A session's value goes from `before` to `now`; what that did is made again on `base`, the
// value the file held all along.
struct Case {
    const char* name;
    QByteArray before;
    QByteArray now;
    QByteArray base;
    QByteArray merged;
    const char* idField = "key";
};

TEST(JsonElementChangesTest, ASessionsChangesLandOnAnotherVersionOfTheValue)
{
    const Case cases[] = {
        {"a like goes first, before the stored ones", "", R"([{"key":9}])", R"([{"key":1},{"key":2}])",
            R"([{"key":9},{"key":1},{"key":2}])"},
        {"an unlike drops only its element", R"([{"key":9},{"key":2}])", R"([{"key":9}])", R"([{"key":1},{"key":2},{"key":3}])",
            R"([{"key":1},{"key":3}])"},
        {"a fresher record of a stored element replaces it in place", R"([{"key":1,"n":0}])", R"([{"key":1,"n":5}])",
            R"([{"key":0},{"key":1,"n":0},{"key":2}])", R"([{"key":0},{"key":1,"n":5},{"key":2}])"},
        {"a move to the front follows the session", R"([{"key":1},{"key":2}])", R"([{"key":2},{"key":1}])",
            R"([{"key":1},{"key":3},{"key":2}])", R"([{"key":2},{"key":1},{"key":3}])"},
        {"an element added behind another follows it", R"([{"key":1}])", R"([{"key":1},{"key":7}])", R"([{"key":0},{"key":1},{"key":2}])",
            R"([{"key":0},{"key":1},{"key":7},{"key":2}])"},
        {"nothing stored yet", "", R"([{"key":4}])", "", R"([{"key":4}])"},
        {"ids of other kinds", "", R"([{"id":"b"}])", R"([{"id":"a"}])", R"([{"id":"b"},{"id":"a"}])", "id"},
        {"an object's members by name", R"({"A":{"k":1}})", R"({"A":{"k":2},"B":{"k":3}})", R"({"A":{"k":0},"C":{"k":9}})",
            R"({"A":{"k":2},"C":{"k":9},"B":{"k":3}})", ""},
        {"an object's member dropped", R"({"A":1,"B":2})", R"({"B":2})", R"({"A":0,"C":3})", R"({"C":3})", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<QList<JsonElementChanges::Change>> changes
            = JsonElementChanges::between(c.before, c.now, QString::fromLatin1(c.idField));
        ASSERT_TRUE(changes);
        const std::optional<QByteArray> merged = JsonElementChanges::apply(c.base, *changes, QString::fromLatin1(c.idField));
        ASSERT_TRUE(merged);
        EXPECT_EQ(*merged, c.merged);
    }
}

// A value of another shape is no list to merge: the caller falls back to the whole value.
TEST(JsonElementChangesTest, AValueOfAnotherShapeIsRefused)
{
    const struct {
        const char* name;
        QByteArray value;
        const char* idField;
    } cases[] = {
        {"not JSON", "[{\"key\":", "key"},
        {"an element without its id", R"([{"title":"x"}])", "key"},
        {"an object for a list", R"({"key":1})", "key"},
        {"a list for an object", R"([1,2])", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(JsonElementChanges::between({}, c.value, QString::fromLatin1(c.idField)));
        EXPECT_FALSE(JsonElementChanges::apply(c.value, {}, QString::fromLatin1(c.idField)));
    }
}

} // namespace
