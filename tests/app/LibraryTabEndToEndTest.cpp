#include "app/AppRootView.h"
#include "app/ShellDefaults.h"
#include "foundation/UserDefaults.h"
#include "screens/library/CreatePlaylistCardView.h"
#include "screens/library/CreatePlaylistPickerThumbnail.h"
#include "screens/library/CreatePlaylistSheet.h"
#include "screens/library/CreatePlaylistWallpaperPickerSheet.h"
#include "screens/library/LibraryScreensFixture.h"
#include "screens/library/PlaylistCardView.h"
#include "state/HomePageService.h"
#include "state/OnboardingSheetState.h"
#include "support/Eventually.h"
#include "support/TaskWait.h"
#include "ui/LoopingVideo.h"
#include "ui/NavigationTabLabel.h"
#include "ui/PosterCardView.h"
#include "ui/Screenshot.h"
#include "ui/Theme.h"
#include "ui/TopNavigationBar.h"

#include <QLineEdit>

namespace {

// The library tab of the real root view, over the real stores and apply pipeline.
class LibraryTabEndToEndTest : public LibraryScreensFixture {
protected:
    LibraryTabEndToEndTest()
    {
        root.setPalette(Theme::palette());
        root.resize(1280, 860);
    }
    ~LibraryTabEndToEndTest() override { HomePageService::shared().setShowingLoader(false); }

    LikedView* libraryPage() const { return root.tabPage(AppTab::Library)->findChild<LikedView*>(); }

    // What the user sees once the tab has come to rest: the pill on Library alone, each playlist
    // card's picture, the create card's front video.
    bool settled(const LikedView& page, const QList<QUuid>& playlists) const
    {
        const TopNavigationBar* bar = root.tabBar();
        const bool pill = bar->capsuleOpacity(AppTab::Library) == NavigationTabLabel::capsuleOpacity(1, 0)
            && bar->capsuleOpacity(AppTab::Home) == 0;
        const bool pictures = std::all_of(playlists.begin(), playlists.end(), [&](const QUuid& id) {
            const auto* card = qobject_cast<PlaylistCardView*>(page.playlistGrid()->cellForKey(id));
            return card && card->hasPreviewPicture();
        });
        CreatePlaylistCardView* create = page.createCard();
        return pill && pictures && create->layerVideo(create->cycle().visibleLayer())->isReady();
    }
    // The lightness of the screenshot at the left end of a tab's capsule.
    int capsuleLightness(const QImage& shot, AppTab tab) const
    {
        const QRectF label = root.tabBar()->tabRect(tab);
        const QPoint at = root.tabBar()->mapTo(&root, QPointF(label.left() + 6, label.center().y()).toPoint());
        return shot.pixelColor(at * shot.devicePixelRatio()).lightness();
    }

    bool loaderOff = (HomePageService::shared().setShowingLoader(false), true);
    // A returning user: the onboarding sheet stays away, also when an earlier test of this
    // process left the shared sheet state presented.
    bool onboarded = (UserDefaults::standard().setBool(ShellDefaults::onboardingSheetCompleted, true),
        OnboardingSheetState::shared().setPresented(false), true);
    AppRootView root;
};

TEST_F(LibraryTabEndToEndTest, TheTabShowsLikedWallpapersAndPlaylistsAndAPlaylistMadeThroughTheSheet)
{
    like(1718000000137, QStringLiteral("Misty Pine Valley"));
    like(1718000000211, QStringLiteral("Coral Reef"));
    const WallpaperPlaylist existing = makePlaylist(QStringLiteral("Forests"), {1718000000137});
    // As at launch, the store learns the asset host, which the playlist cards' posters come from.
    waitForTask(store_.initializeIfNeeded());
    root.show();
    TopNavigationBar* bar = root.tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(AppTab::Library).center().toPoint());
    ASSERT_EQ(root.selectedTab(), AppTab::Library);
    LikedView* page = libraryPage();
    ASSERT_TRUE(page);
    ASSERT_EVENTUALLY(page->isVisible(), 5000);
    EXPECT_EQ(page->savedGrid()->keys().size(), 2);
    ASSERT_EVENTUALLY(qobject_cast<PosterCardView*>(page->savedGrid()->cellForKey(page->savedGrid()->keys().first())), 5000);
    EXPECT_TRUE(page->playlistGrid()->cellForKey(existing.id));

    QTest::mouseClick(page->createCard(), Qt::LeftButton, {}, page->createCard()->rect().center());
    ASSERT_EVENTUALLY(qobject_cast<CreatePlaylistSheet*>(root.sheetHost()->sheet()), 5000);
    auto* create = qobject_cast<CreatePlaylistSheet*>(root.sheetHost()->sheet());
    QTest::keyClicks(create->nameField(), QStringLiteral("Reefs"));
    QTest::keyClick(create->nameField(), Qt::Key_Return);
    ASSERT_EVENTUALLY(qobject_cast<CreatePlaylistWallpaperPickerSheet*>(root.sheetHost()->sheet()), 5000);
    auto* picker = qobject_cast<CreatePlaylistWallpaperPickerSheet*>(root.sheetHost()->sheet());
    ASSERT_EVENTUALLY(picker->thumbnailOf(1718000000211), 5000);
    QTest::mouseClick(picker->thumbnailOf(1718000000211), Qt::LeftButton);
    saveScreenshot(root, QStringLiteral("library-tab-picker"));
    QTest::keyClick(picker, Qt::Key_Return);

    ASSERT_EVENTUALLY(root.sheetHost()->depth() == 0, 5000);
    ASSERT_EQ(playlists_.playlists().size(), 2);
    const WallpaperPlaylist created = playlists_.playlists().first();
    EXPECT_EQ(created.name, QStringLiteral("Reefs"));
    EXPECT_EQ(created.wallpaperKeys, QList<qint64>{1718000000211});
    EXPECT_EQ(signals_, QStringList{QStringLiteral("Playlist.created")});
    ASSERT_EVENTUALLY(page->playlistGrid()->cellForKey(created.id), 5000);
    EXPECT_EQ(playlists_.playlist(existing.id)->name, QStringLiteral("Forests"));
    ASSERT_EVENTUALLY(settled(*page, {created.id, existing.id}), 10'000);
    const QImage shot = saveScreenshot(root, QStringLiteral("library-tab"));
    EXPECT_GT(capsuleLightness(shot, AppTab::Library), 200);
    EXPECT_LT(capsuleLightness(shot, AppTab::Home), 100);
}

} // namespace
