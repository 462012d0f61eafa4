#include "LibraryScreensFixture.h"
#include "screens/library/CreatePlaylistCardView.h"
#include "support/Eventually.h"
#include "ui/PosterCardView.h"
#include "ui/Screenshot.h"

#include <functional>

#include "screens/browse/SectionTitleComponent.h"
#include "ui/LabelButton.h"

namespace {

using LikedViewTest = LibraryScreensFixture;

TEST_F(LikedViewTest, SavedSubtitleCountsWithItsPlural)
{
    const QList<std::pair<qsizetype, QString>> cases{
        {0, "You haven't saved any wallpapers yet. Start exploring and save your favorites!"},
        {1, "Your collection of 1 saved wallpaper"},
        {2, "Your collection of 2 saved wallpapers"},
        {200, "Your collection of 200 saved wallpapers"},
        {78000, "Your collection of 78,000 saved wallpapers"},
    };
    // The count is written as the user's locale writes numbers.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const auto& [count, text] : cases)
        EXPECT_EQ(LikedView::savedSubtitleText(count), text);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(LikedView::savedSubtitleText(78000), QStringLiteral("Your collection of 78.000 saved wallpapers"));
    QLocale::setDefault(before);
}

TEST_F(LikedViewTest, AnEmptyLibraryShowsTheCreateCardAloneAndTheEmptyState)
{
    LikedView& page = showPage();
    EXPECT_TRUE(page.isEmptyStateShown());
    EXPECT_FALSE(page.clearAllButton()->isVisible());
    EXPECT_EQ(page.playlistGrid()->keys(), QList<QUuid>{LikedView::createCardKey()});
    EXPECT_TRUE(page.createCard());
    saveScreenshot(window_, QStringLiteral("library-page-empty"));
}

TEST_F(LikedViewTest, LikedWallpapersAndPlaylistsShowInStoredOrderAndFollowChanges)
{
    own(1718000000301);
    for (qint64 i = 0; i < 5; ++i)
        like(kCatalogueKey + i, QStringLiteral("Saved %1").arg(i));
    makePlaylist(QStringLiteral("Road trip 🚗"), {1718000000301, kCatalogueKey});
    makePlaylist(QString(200, u'W').replace(20, 1, u' '), {kCatalogueKey + 1});
    const WallpaperPlaylist newest = makePlaylist(QStringLiteral("Evening"), {kCatalogueKey + 2});
    LikedView& page = showPage();

    EXPECT_FALSE(page.isEmptyStateShown());
    EXPECT_EQ(page.savedTitle()->subtitle(), QStringLiteral("Your collection of 5 saved wallpapers"));
    EXPECT_EQ(page.savedGrid()->keys().size(), 5);
    auto* first = qobject_cast<PosterCardView*>(page.savedGrid()->cellForKey(page.savedGrid()->keys().first()));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->wallpaper().title, QStringLiteral("Saved 4")); // newest like first
    ASSERT_EQ(page.playlistGrid()->keys().size(), 4);
    EXPECT_EQ(page.playlistGrid()->keys().at(1), newest.id);
    EXPECT_TRUE(page.clearAllButton()->isVisible());
    // The own video's first frame stands for the first playlist.
    ASSERT_EVENTUALLY(cardOf(page.playlistGrid()->keys().at(3))->hasPreviewPicture(), 10'000);
    saveScreenshot(window_, QStringLiteral("library-page-playlists"));

    // Unliking takes the key out of every playlist; the saved grid and the cards follow.
    liked_.removeWallpaper(std::optional<qint64>(kCatalogueKey + 2));
    EXPECT_EQ(page.savedGrid()->keys().size(), 4);
    EXPECT_EQ(cardOf(newest.id)->preview(), PlaylistCardView::Preview::Placeholder);
    EXPECT_TRUE(playlists_.playlist(newest.id)->wallpaperKeys.isEmpty());

    // How a long library's count reads in its place, for the reviewer.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    page.savedTitle()->setSubtitle(LikedView::savedSubtitleText(78000));
    QLocale::setDefault(before);
    saveScreenshot(window_, QStringLiteral("library-saved-count-78000"));
}

// Liked again from a fresher record (new counts, a corrected title): the saved card on screen
// shows it, without being made anew.
TEST_F(LikedViewTest, ASavedCardTakesTheFresherRecordOfItsWallpaper)
{
    like(kCatalogueKey + 1, QStringLiteral("Older"));
    WallpaperModel record = like(kCatalogueKey, QStringLiteral("Misty Pine Valley"));
    LikedView& page = showPage();
    const QUuid key = page.savedGrid()->keys().first();
    auto* card = qobject_cast<PosterCardView*>(page.savedGrid()->cellForKey(key));
    ASSERT_TRUE(card);

    record.title = QStringLiteral("Misty Pine Valley at Dawn");
    record.likes = 4'200;
    liked_.addWallpaper(record, true);
    ASSERT_EQ(page.savedGrid()->keys().first(), key);
    EXPECT_EQ(page.savedGrid()->cellForKey(key), card);
    EXPECT_EQ(card->wallpaper().title, record.title);
    EXPECT_EQ(card->wallpaper().likes, 4'200);
}

// A like or unlike announces a new order and new records: the saved grid, which may hold tens of
// thousands of keys, takes its keys once (its kept cards hear their records once); a fresher
// record alone reaches the cards without the grid taking its keys again.
TEST_F(LikedViewTest, ATapGivesTheSavedGridItsKeysOnce)
{
    for (qint64 i = 0; i < 3; ++i)
        like(kCatalogueKey + i, QStringLiteral("Saved %1").arg(i));
    LikedView& page = showPage();
    ASSERT_EQ(page.savedGrid()->liveCellCount(), 3);
    int updates = 0;
    page.savedGrid()->setCellUpdater([&updates](QWidget*, int) { ++updates; });

    const auto tap = [&](const QString& what, const std::function<void()>& change, int kept) {
        SCOPED_TRACE(what.toStdString());
        updates = 0;
        change();
        EXPECT_EQ(updates, kept);
        QList<QUuid> newestFirst;
        for (const qint64 key : liked_.likedOrder())
            newestFirst.append(liked_.likedWallpapers().value(key).id);
        EXPECT_EQ(page.savedGrid()->keys(), newestFirst);
    };
    tap(QStringLiteral("a like"), [&] { like(kCatalogueKey + 3, QStringLiteral("Saved 3")); }, 3);
    tap(QStringLiteral("an unlike"), [&] { liked_.removeWallpaper(std::optional<qint64>(kCatalogueKey)); }, 3);
    tap(QStringLiteral("an older one liked again"), [&] { liked_.addWallpaper(liked_.likedWallpapers().value(kCatalogueKey + 1), true); }, 3);
    WallpaperModel fresher = liked_.likedWallpapers().value(liked_.likedOrder().first());
    fresher.likes = 4'200;
    tap(QStringLiteral("a fresher record"), [&] { liked_.addWallpaper(fresher, true); }, 0);
    auto* card = qobject_cast<PosterCardView*>(page.savedGrid()->cellForKey(fresher.id));
    ASSERT_TRUE(card);
    EXPECT_EQ(card->wallpaper().likes, 4'200);
}

// A list still being read shows the loading state, never an empty library, then its grid.
TEST_F(LikedViewTest, AListStillBeingReadShowsTheLoadingStateThenTheGrid)
{
    for (qint64 i = 0; i < 3; ++i)
        like(kCatalogueKey + i, QStringLiteral("Saved %1").arg(i));
    makePlaylist(QStringLiteral("Evening"), {kCatalogueKey});
    liked_.flush(); // the likes are written behind: stored before a new service reads them
    LikedWallpapersService reading(defaults_, playlists_, counter_);
    const Shared<LikedWallpapersService>::Override use(reading);
    PageLinks links;
    links.sheets = &sheets_;
    LikedView page(&context_, links);

    EXPECT_TRUE(page.isLoadingStateShown());
    EXPECT_FALSE(page.isEmptyStateShown());
    EXPECT_TRUE(reading.isLoading()) << "the page does not wait for the list";
    EXPECT_EQ(page.playlistGrid()->keys().size(), 2) << "the playlists show meanwhile";

    ASSERT_EVENTUALLY(!page.isLoadingStateShown(), 10'000);
    EXPECT_EQ(page.savedGrid()->keys().size(), 3);
    EXPECT_EQ(page.savedTitle()->subtitle(), QStringLiteral("Your collection of 3 saved wallpapers"));
}

TEST_F(LikedViewTest, ClearAllAsksFirstAndCancelKeepsEveryPlaylist)
{
    makePlaylist(QStringLiteral("One"), {1});
    makePlaylist(QStringLiteral("Two"), {2});
    LikedView& page = showPage();
    click(page.clearAllButton());
    ASSERT_TRUE(answerAlert(QStringLiteral("Cancel")));
    EXPECT_EQ(playlists_.playlists().size(), 2);
    click(page.clearAllButton());
    ASSERT_TRUE(answerAlert(QStringLiteral("Clear All")));
    EXPECT_TRUE(playlists_.playlists().isEmpty());
    EXPECT_FALSE(page.clearAllButton()->isVisible());
    EXPECT_EQ(page.playlistGrid()->keys(), QList<QUuid>{LikedView::createCardKey()});
}

} // namespace
