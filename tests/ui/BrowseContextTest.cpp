#include "ui/BrowseContext.h"

#include <QSignalSpy>
#include <QTest>
#include <QUuid>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

WallpaperModel wallpaper(const QString& title)
{
    WallpaperModel model;
    model.id = QUuid::createUuid();
    model.title = title;
    return model;
}

TEST(BrowseContextTest, ChildReadsThroughUntilItSetsItsOwnValue)
{
    BrowseContext root;
    BrowseContext child(&root, nullptr);
    QSignalSpy childPause(&child, &BrowseContext::cardsShouldPauseChanged);
    QSignalSpy childSize(&child, &BrowseContext::windowSizeChanged);

    EXPECT_FALSE(child.cardsShouldPause());
    EXPECT_EQ(child.windowSize(), QSize(0, 0));
    root.setCardsShouldPause(true);
    root.setWindowSize(QSize(1200, 800));
    EXPECT_TRUE(child.cardsShouldPause());
    EXPECT_EQ(child.windowSize(), QSize(1200, 800));
    EXPECT_EQ(childPause.count(), 1);
    EXPECT_EQ(childSize.count(), 1);

    // Overriding with the value already seen announces nothing; later parent changes are hidden.
    child.setCardsShouldPause(true);
    root.setCardsShouldPause(false);
    EXPECT_TRUE(child.cardsShouldPause());
    EXPECT_EQ(childPause.count(), 1);
    child.setCardsShouldPause(false);
    EXPECT_EQ(childPause.count(), 2);
}

TEST(BrowseContextTest, SelectionGoesToTheNearestContextThatKeepsOne)
{
    BrowseContext root;
    BrowseContext page(&root, nullptr);
    BrowseContext grid(&page, nullptr);
    QSignalSpy rootSpy(&root, &BrowseContext::selectedWallpaperChanged);
    QSignalSpy gridSpy(&grid, &BrowseContext::selectedWallpaperChanged);

    const WallpaperModel first = wallpaper("first");
    grid.setSelectedWallpaper(first);
    ASSERT_TRUE(root.selectedWallpaper());
    EXPECT_EQ(root.selectedWallpaper()->title, "first");
    EXPECT_EQ(rootSpy.count(), 1);
    EXPECT_EQ(gridSpy.count(), 1);

    // The page now selects for its own subtree: the root keeps its wallpaper.
    page.keepOwnSelection();
    EXPECT_FALSE(grid.selectedWallpaper());
    EXPECT_EQ(gridSpy.count(), 2);
    grid.setSelectedWallpaper(wallpaper("second"));
    EXPECT_EQ(page.selectedWallpaper()->title, "second");
    EXPECT_EQ(root.selectedWallpaper()->title, "first");
    EXPECT_EQ(rootSpy.count(), 1);

    // The same wallpaper again is no change; clearing is.
    grid.setSelectedWallpaper(page.selectedWallpaper());
    EXPECT_EQ(gridSpy.count(), 3);
    grid.setSelectedWallpaper(std::nullopt);
    EXPECT_EQ(gridSpy.count(), 4);
    EXPECT_FALSE(page.selectedWallpaper());
}

TEST(BrowseContextTest, ChildOutlivingItsParentFallsBackToDefaults)
{
    auto root = std::make_unique<BrowseContext>();
    BrowseContext child(root.get(), nullptr);
    root->setCardsShouldPause(true);
    root->setWindowSize(QSize(900, 600));
    root.reset();
    EXPECT_FALSE(child.cardsShouldPause());
    EXPECT_EQ(child.windowSize(), QSize(0, 0));
    child.setSelectedWallpaper(wallpaper("kept"));
    ASSERT_TRUE(child.selectedWallpaper());
    EXPECT_EQ(child.selectedWallpaper()->title, "kept");
}

TEST(BrowseContextTest, FallbackWindowSize)
{
    struct Case {
        QRect available;
        QSize expected;
    };
    const Case cases[] = {
        {QRect(0, 0, 1920, 1050), QSize(1344, 840)},
        {QRect(0, 0, 3840, 2100), QSize(1600, 1000)}, // both caps
        {QRect(0, 0, 800, 500), QSize(640, 400)},
        {QRect(), QSize(1600, 1000)},                  // no screen
    };
    for (const Case& c : cases)
        EXPECT_EQ(BrowseContext::fallbackWindowSize(c.available), c.expected) << c.available.height();
}

// Opening from cards: steps taken on the context that owns the selection, and what is open after.
TEST(BrowseContextTest, OpeningAWallpaperLetsTheLastChoiceWin)
{
    const WallpaperModel a = wallpaper(QStringLiteral("A"));
    const WallpaperModel b = wallpaper(QStringLiteral("B"));
    const WallpaperModel c = wallpaper(QStringLiteral("C"));
    WallpaperModel aAgain = wallpaper(QStringLiteral("A, another record"));
    WallpaperModel keyed = a;
    keyed.key = 4;
    aAgain.key = 4;
    using Steps = std::function<void(BrowseContext&)>;
    const struct {
        const char* name;
        std::optional<WallpaperModel> open;
        Steps steps;
        std::optional<QString> openAfter;
    } cases[] = {
        {"nothing open", std::nullopt, [&](BrowseContext& ctx) { ctx.openWallpaper(a); }, QStringLiteral("A")},
        {"another one open", a, [&](BrowseContext& ctx) { ctx.openWallpaper(b); }, QStringLiteral("B")},
        {"same key, other record", keyed, [&](BrowseContext& ctx) { ctx.openWallpaper(aAgain); }, QStringLiteral("A")},
        {"a later click wins", a, [&](BrowseContext& ctx) { ctx.openWallpaper(b); ctx.openWallpaper(c); }, QStringLiteral("C")},
        {"closed meanwhile stays closed", a,
            [&](BrowseContext& ctx) { ctx.openWallpaper(b); ctx.setSelectedWallpaper(std::nullopt); }, std::nullopt},
    };
    for (const auto& row : cases) {
        BrowseContext root;
        BrowseContext page(&root, nullptr);
        root.setSelectedWallpaper(row.open);
        row.steps(page);
        QTest::qWait(BrowseContext::kReselectDelayMs * 2);
        const auto open = root.selectedWallpaper();
        EXPECT_EQ(open ? std::optional(open->title.left(1)) : std::nullopt, row.openAfter) << row.name;
    }
}

TEST(BrowseContextTest, AnotherWallpaperClosesTheOpenOneFirst)
{
    BrowseContext root;
    root.setSelectedWallpaper(wallpaper(QStringLiteral("A")));
    QSignalSpy changes(&root, &BrowseContext::selectedWallpaperChanged);
    root.openWallpaper(wallpaper(QStringLiteral("B")));
    EXPECT_FALSE(root.selectedWallpaper().has_value());
    ASSERT_TRUE(QTest::qWaitFor([&] { return root.selectedWallpaper().has_value(); }, 5000));
    EXPECT_EQ(changes.count(), 2);
}

} // namespace
