#include "ui/BrowseContext.h"

#include <QSignalSpy>
#include <QUuid>

#include <gtest/gtest.h>

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

} // namespace
