#include "DetailFixture.h"

#include "model/PartnerSiteKey.h"
#include "screens/detail/FloatingNote.h"
#include "screens/detail/FootBarApplyControl.h"
#include "screens/detail/FootBarIconButton.h"
#include "screens/detail/FootBarTitleBlock.h"
#include "screens/detail/FullScreenFootBar.h"
#include "screens/detail/FullscreenApplyTargetChip.h"
#include "screens/detail/MonitorCardView.h"
#include "screens/detail/MonitorPickerPopoverContent.h"
#include "screens/detail/PlaylistAddPopoverContent.h"
#include "screens/detail/PlaylistRowButton.h"
#include "ui/Pointer.h"
#include "ui/Screenshot.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>

#include <functional>
#include <map>

namespace {

using Target = WallpaperFullscreenApplyTarget;

class FootBarTest : public DetailFixture {
protected:
    FullScreenFootBar* bar(const WallpaperModel& wallpaper, FootBarApplyControl::Actions actions = {.applyToAll = true})
    {
        auto* made = new FullScreenFootBar(wallpaper, actions, &window_);
        made->adjustSize();
        made->move(20, 400);
        window_.show();
        made->show();
        return made;
    }
    static void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }
};

TEST_F(FootBarTest, TheShareLinkNamesTheWallpaperAndItsOrigin)
{
    WallpaperModel partner = catalogueRecord();
    partner.isFromGravelnook = true;
    WallpaperModel partnerSite = partner;
    partnerSite.key = *PartnerSiteKey::key(4521);
    for (const auto& [record, link] : {std::pair{catalogueRecord(), QStringLiteral("https://quorvelle.app/wallpaper?key=1718000000137")},
             std::pair{partner, QStringLiteral("https://quorvelle.app/wallpaper?key=1718000000137&via=grvn")},
             std::pair{partnerSite, QStringLiteral("https://quorvelle.app/wallpaper?key=4521&via=grvn")}}) {
        FullScreenFootBar* footBar = bar(record);
        click(footBar->shareButton());
        EXPECT_EQ(QGuiApplication::clipboard()->text(), link);
        EXPECT_TRUE(footBar->copiedNote()->isVisible());
        ASSERT_EVENTUALLY(!footBar->copiedNote()->isVisible(), 3000);
    }
    WallpaperModel keyless = catalogueRecord();
    keyless.key.reset();
    EXPECT_EQ(bar(keyless)->shareButton(), nullptr);
}

TEST_F(FootBarTest, PickingAPlaylistTogglesTheWallpaperInItAndClosesThePopover)
{
    const WallpaperPlaylist holding = playlists_.createPlaylist(QStringLiteral("Evenings"), 600);
    const WallpaperPlaylist empty = playlists_.createPlaylist(QStringLiteral("Mornings"), 600);
    WallpaperModel keyless = catalogueRecord();
    keyless.key.reset();

    struct Case {
        const char* name;
        WallpaperModel record;
        QUuid playlist;
        bool heldAfter;
        bool saved;
    };
    for (const Case& c : {Case{"a playlist that holds it", catalogueRecord(), holding.id, false, false},
             Case{"a playlist without it", catalogueRecord(), empty.id, true, true},
             Case{"no key", keyless, holding.id, false, false}}) {
        SCOPED_TRACE(c.name);
        liked_.removeWallpaper(kCatalogueKey); // also out of every playlist
        recents_.clearRecents();
        playlists_.setWallpaperKeys({kCatalogueKey}, holding.id);
        FullScreenFootBar* footBar = bar(c.record);
        click(footBar->playlistButton());
        ASSERT_TRUE(footBar->playlistPopover());
        const QList<PlaylistRowButton*> rows = footBar->playlistPopover()->rows();
        ASSERT_EQ(rows.size(), 2);
        const auto row = std::find_if(rows.begin(), rows.end(), [&](PlaylistRowButton* r) { return r->playlist().id == c.playlist; });
        EXPECT_EQ((*row)->isMarked(), c.record.key && c.playlist == holding.id);
        if ((*row)->isMarked())
            saveScreenshot(*footBar->playlistPopover()->window(), QStringLiteral("detail-playlist-popover"));
        click(*row);

        EXPECT_FALSE(footBar->playlistPopover());
        if (c.record.key) {
            EXPECT_EQ(playlists_.playlist(c.playlist)->wallpaperKeys.contains(kCatalogueKey), c.heldAfter);
        }
        EXPECT_EQ(liked_.likedOrder().contains(kCatalogueKey), c.saved);
        EXPECT_EQ(recents_.recentsOrder().contains(kCatalogueKey), c.saved);
    }
}

TEST_F(FootBarTest, WithoutPlaylistsThePopoverSaysSo)
{
    FullScreenFootBar* footBar = bar(catalogueRecord());
    click(footBar->playlistButton());
    ASSERT_TRUE(footBar->playlistPopover());
    EXPECT_TRUE(footBar->playlistPopover()->rows().isEmpty());
    EXPECT_GE(footBar->playlistPopover()->width(), PlaylistAddPopoverContent::kMinWidth);
    saveScreenshot(*footBar->playlistPopover()->window(), QStringLiteral("detail-playlist-popover-empty"));
}

TEST_F(FootBarTest, PopoversOfABarAtTheWindowsFootStayInsideTheWindow)
{
    // A window short enough that the screen has room below it: the popovers must still open
    // upward, where the window is.
    window_.resize(900, 420);
    window_.move(0, 0);
    setLockScreenFeature(true);
    playlists_.createPlaylist(QStringLiteral("Evenings"), 600);
    playlists_.createPlaylist(QStringLiteral("Mornings"), 600);
    FullScreenFootBar* footBar = bar(catalogueRecord());
    footBar->move(20, window_.height() - footBar->height() - 8);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));

    struct Case {
        const char* name;
        QWidget* button;
        std::function<QWidget*()> popover;
    };
    const Case cases[] = {
        {"add to playlist", footBar->playlistButton(), [&]() -> QWidget* { return footBar->playlistPopover(); }},
        {"display picker", footBar->applyControl(), [&]() -> QWidget* { return footBar->applyControl()->picker(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        click(c.button);
        QWidget* content = c.popover();
        ASSERT_TRUE(content);
        const QRect popup = content->window()->geometry();
        EXPECT_TRUE(window_.geometry().contains(popup)) << "popup bottom " << popup.bottom() << ", window bottom " << window_.geometry().bottom();
        EXPECT_LT(popup.bottom(), c.button->mapToGlobal(QPoint(0, 0)).y()) << "opens upward";
        content->window()->close();
    }
}

TEST_F(FootBarTest, TheApplyControlShowsWhatItWillDo)
{
    WallpaperModel lockScreen = catalogueRecord();
    lockScreen.forLockscreen = true;
    struct Case {
        const char* name;
        WallpaperModel record;
        std::optional<ApplyToast::Stage> applying;
        bool applied;
        bool lockFeature;
        QString label;
        bool enabled;
        qreal fill;
    };
    using Stage = ApplyToast::Stage;
    std::map<bool, int> widths;
    for (const Case& c : {Case{"ready", catalogueRecord(), std::nullopt, false, false, "Set Wallpaper", true, 1.0},
             Case{"found on disk", catalogueRecord(), Stage::applying, false, false, "Applying...", false, 0.5},
             Case{"downloading", catalogueRecord(), Stage::downloading, false, false, "Downloading...", false, 0.5},
             Case{"on the desktops", catalogueRecord(), Stage::applied, false, true, "Wallpaper applied", false, 0.5},
             Case{"installing on the lock screen", catalogueRecord(), Stage::lockScreen, false, true, "Setting Lock Screen", false, 0.5},
             Case{"on the lock screen", catalogueRecord(), Stage::lockScreenSet, false, true, "Lock Screen set", false, 0.5},
             Case{"applied", catalogueRecord(), std::nullopt, true, false, "Remove Wallpaper", true, 1.0},
             Case{"lock screen, feature off", lockScreen, std::nullopt, false, false, "Set lockscreen", false, 0.45},
             Case{"lock screen, feature on", lockScreen, std::nullopt, false, true, "Set lockscreen", true, 1.0},
             Case{"lock screen applied, feature off", lockScreen, std::nullopt, true, false, "Remove Wallpaper", true, 1.0}}) {
        SCOPED_TRACE(c.name);
        setLockScreenFeature(c.lockFeature);
        FootBarApplyControl control(c.record, {.applyToAll = !c.record.forLockscreen});
        control.setApplying(c.applying);
        control.setWallpaperApplied(c.applied);
        EXPECT_EQ(control.label(), c.label);
        EXPECT_EQ(control.isEnabled(), c.enabled);
        EXPECT_DOUBLE_EQ(control.fillOpacity(), c.fill);
        // One width whatever the label says: the bar never shifts under the pointer.
        const auto [width, added] = widths.try_emplace(c.record.forLockscreen, control.width());
        EXPECT_EQ(control.width(), width->second);
        EXPECT_GE(control.width(), QFontMetrics(control.font()).horizontalAdvance(c.label));
    }
}

TEST_F(FootBarTest, DisablingTheHoveredButtonClearsItsHoverAndCursor)
{
    FootBarApplyControl* control = bar(catalogueRecord())->applyControl();
    hoverOver(*control, true);
    EXPECT_LT(control->fillOpacity(), 1.0);
    control->setApplying(ApplyToast::Stage::downloading); // the pointer stays where it is
    EXPECT_FALSE(control->isHovered());
    EXPECT_EQ(control->cursor().shape(), Qt::ArrowCursor);
    control->setApplying(std::nullopt); // still under the pointer
    EXPECT_EQ(control->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(control->isHovered());
}

TEST_F(FootBarTest, TheGatedButtonExplainsItselfAndTheSwitchLiftsTheGate)
{
    WallpaperModel record = catalogueRecord();
    record.forLockscreen = true;
    FullScreenFootBar* footBar = bar(record, {.lockScreenOnly = true});
    FootBarApplyControl* control = footBar->applyControl();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(control->mapToGlobal(QPoint(5, 5))));
    QApplication::sendEvent(control, &enter);
    EXPECT_TRUE(control->isHintShown());
    EXPECT_EQ(control->hoverAmount(), 0);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(control, &leave);
    EXPECT_FALSE(control->isHintShown());

    lockScreenOff_.setIsEnabled(true); // the installed switch, turned on in the settings
    ASSERT_EVENTUALLY(control->isEnabled(), 5000);
    QSignalSpy lockScreenOnly(footBar, &FullScreenFootBar::lockScreenOnlyRequested);
    click(control);
    EXPECT_EQ(lockScreenOnly.size(), 1);
    ASSERT_EVENTUALLY(!lockScreenOff_.isProcessing(), 10'000);
}

TEST_F(FootBarTest, ThePickerReportsTheDisplayAndTargetAndSavesTheWallpaper)
{
    for (const bool lockFeature : {false, true}) {
        SCOPED_TRACE(lockFeature ? "lock screen on" : "lock screen off");
        setLockScreenFeature(lockFeature);
        liked_.removeWallpaper(kCatalogueKey);
        FullScreenFootBar* footBar = bar(catalogueRecord());
        QSignalSpy chosen(footBar, &FullScreenFootBar::rightButtonTapped);
        click(footBar->applyControl());
        MonitorPickerPopoverContent* picker = footBar->applyControl()->picker();
        ASSERT_TRUE(picker);
        ASSERT_EQ(picker->cards().size(), 2);
        EXPECT_EQ(picker->selectedTarget(), lockFeature ? Target::both : Target::desktop);
        EXPECT_EQ(picker->chips()[0]->isEnabled(), lockFeature);
        EXPECT_EQ(picker->chips()[2]->isEnabled(), lockFeature);
        EXPECT_TRUE(picker->cards()[0]->isMain());
        EXPECT_FALSE(picker->cards()[1]->isMain());
        if (lockFeature) {
            click(picker->chips()[2]);
            saveScreenshot(*picker->window(), QStringLiteral("detail-display-picker"));
        }
        click(picker->cards()[1]);

        ASSERT_EQ(chosen.size(), 1);
        EXPECT_EQ(chosen[0][0].value<std::optional<int>>(), 1);
        EXPECT_EQ(chosen[0][1].value<std::optional<Target>>(), lockFeature ? Target::lockScreen : Target::desktop);
        EXPECT_FALSE(footBar->applyControl()->picker());
        EXPECT_EQ(liked_.likedOrder().value(0), kCatalogueKey);
    }
}

TEST_F(FootBarTest, ThePickerFollowsTheDisplaysAndTheLockScreenSwitchWhileOpen)
{
    setLockScreenFeature(false);
    MonitorPickerPopoverContent picker(screens_, lockScreenOff_, false);
    picker.show();
    EXPECT_FALSE(picker.allButton());
    EXPECT_EQ(picker.selectedTarget(), Target::desktop);
    lockScreenOff_.setIsEnabled(true);
    ASSERT_EVENTUALLY(picker.selectedTarget() == Target::both, 5000);
    ASSERT_EVENTUALLY(!lockScreenOff_.isProcessing(), 10'000);

    screens_.setScreens({display(QStringLiteral("Display A"), 0, 1)});
    screens_.announceChange();
    EXPECT_EQ(picker.cards().size(), 1);
    screens_.setScreens({});
    screens_.announceChange();
    EXPECT_TRUE(picker.cards().isEmpty());
    EXPECT_EQ(picker.sizeHint().width(), MonitorPickerPopoverContent::kMinWidth);
}

TEST_F(FootBarTest, ThePickerIsAsWideAsItsCardsWithinItsBounds)
{
    const MonitorPickerPopoverContent::CardLayout cards;
    for (const auto& [count, width] : {std::pair{0, 250}, std::pair{1, 264}, std::pair{2, 498}, std::pair{3, 720}})
        EXPECT_EQ(MonitorPickerPopoverContent::maximumWidthFor(count, cards), width) << count;
}

// The detail items (resolution, size, length) are catalogue text: drawn cleaned like every label.
TEST(FootBarTitleBlockTest, DetailItemsAreDrawnCleanedLikeEveryLabel)
{
    const auto drawn = [](const QString& resolution) {
        FootBarTitleBlock block(QStringLiteral("Aurora"), {{QStringLiteral("ratio.frame"), resolution}, {QStringLiteral("doc"), QStringLiteral("45MB")}});
        block.resize(block.sizeHint());
        return block.grab().toImage();
    };
    EXPECT_EQ(drawn(QStringLiteral("3840\n×\u00012160")), drawn(QStringLiteral("3840 ×2160")));
}

// In a bar squeezed by a narrow window the details that do not fit whole are left out, never
// cut under the controls beside the block; the title is elided instead.
TEST(FootBarTitleBlockTest, ANarrowBlockShowsTheDetailsThatFitWhole)
{
    FootBarTitleBlock block(QStringLiteral("Autumn Creek"), {{QStringLiteral("aspectratio"), QStringLiteral("3840×2160")},
        {QStringLiteral("doc"), QStringLiteral("13MB")}, {QStringLiteral("clock"), QStringLiteral("0:04s")}});
    const int whole = block.minimumSizeHint().width();
    const struct {
        int width;
        int shown;
    } cases[] = {{whole, 3}, {whole - 1, 2}, {whole / 2, 1}, {0, 0}};
    for (const auto& row : cases) {
        block.resize(row.width, block.sizeHint().height());
        EXPECT_EQ(block.shownDetails(), row.shown) << row.width;
    }
}

} // namespace
