#include "foundation/SettingsChange.h"

#include <gtest/gtest.h>

namespace {

StoredRow row(const char* key, qint64 position, const char* record = "r")
{
    return StoredRow{QString::fromLatin1(key), position, QByteArray(record)};
}

SettingsChange::ListChange list(QList<StoredRow> put, QStringList removed = {})
{
    return SettingsChange::ListChange{std::move(put), std::move(removed)};
}

// What two changes made one after the other come to, as the store commits them together: the
// later one's wins wherever both touch a row, and no row is put or removed twice.
TEST(SettingsChangeTest, ALaterChangeWinsWhereBothTouchARow)
{
    const struct {
        const char* name;
        SettingsChange::ListChange earlier;
        SettingsChange::ListChange later;
        SettingsChange::ListChange expected;
    } cases[] = {
        {"rows of their own", list({row("a", 1)}), list({row("b", 2)}), list({row("a", 1), row("b", 2)})},
        {"a row put again", list({row("a", 1, "old"), row("b", 2)}), list({row("a", 3, "new")}),
            list({row("b", 2), row("a", 3, "new")})},
        {"a put row removed", list({row("a", 1), row("b", 2)}), list({}, {"a"}), list({row("b", 2)}, {"a"})},
        {"a removed row put back", list({}, {"a", "b"}), list({row("a", 5)}), list({row("a", 5)}, {"b"})},
        {"a removal said twice", list({}, {"a"}), list({}, {"a", "c"}), list({}, {"a", "c"})},
        {"a row put twice in one change keeps its last", list({row("z", 9)}), list({row("a", 1, "first"), row("b", 2), row("a", 3, "last")}),
            list({row("z", 9), row("b", 2), row("a", 3, "last")})},
        {"removed and put in one change", list({row("a", 1)}), list({row("a", 4)}, {"a"}), list({row("a", 4)})},
        {"into nothing", list({}), list({row("a", 1), row("b", 2)}, {"c"}), list({row("a", 1), row("b", 2)}, {"c"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsChange change;
        change.lists.insert(QStringLiteral("liked"), c.earlier);
        change.entries.insert(QStringLiteral("theme"), QByteArray("\"dark\""));
        SettingsChange later;
        later.lists.insert(QStringLiteral("liked"), c.later);
        later.entries.insert(QStringLiteral("theme"), std::nullopt);
        change.append(later);
        EXPECT_EQ(change.lists.value(QStringLiteral("liked")).put, c.expected.put);
        EXPECT_EQ(change.lists.value(QStringLiteral("liked")).removed, c.expected.removed);
        EXPECT_EQ(change.entries.value(QStringLiteral("theme")), std::nullopt) << "the later removal of an entry wins";
    }
}

} // namespace
