#include "menubar/MenuBarFixture.h"
#include "support/Eventually.h"
#include "support/ReviewPicture.h"

#include "platform/DesktopVideoWindow.h"
#include "menubar/StatusItem.h"

#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>

namespace {

using MenuBarManagerTest = MenuBarFixture;

const QString kLastLine = QStringLiteral("---");

TEST_F(MenuBarManagerTest, BothMenusListTheirItemsInTheFixedOrder)
{
    // The widget rows (picture, spacer, playback row) have no text.
    EXPECT_EQ(texts(menu().popupMenu()),
        (QStringList{"", "", "Version Unknown", kLastLine, "", kLastLine, "Open Quorvelle", kLastLine, "Recents", "Playlists", kLastLine,
            "CPU: 0.0%", "RAM: 0 MB", "Cache: 0.0 MB", kLastLine, kLastLine, "Clear Cache", "Clear RAM", "Start on login", kLastLine, "Quit"}));
    EXPECT_EQ(texts(menu().contextMenu()),
        (QStringList{"Version Unknown", kLastLine, "Open Quorvelle", kLastLine, "Recents", "Playlists", kLastLine, "CPU: 0.0%",
            "RAM: 0 MB", "Cache: 0.0 MB", kLastLine, "Clear Cache", "Clear RAM", "Start on login", kLastLine, "Quit"}));

    for (const QAction* information : {menu().versionItem(), menu().cpuUsageItem(), menu().ramUsageItem(), menu().cacheUsageItem()})
        EXPECT_FALSE(information->isEnabled()) << information->text().toStdString();
    EXPECT_FALSE(menu().thumbnailItem()->isVisible());
    EXPECT_FALSE(menu().clearCacheItem()->icon().isNull());
    EXPECT_EQ(menu().quitItem()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    // The tray names the program as its launcher does, whatever the test program is called.
    EXPECT_EQ(manager_->statusItem().trayIcon()->toolTip(), QStringLiteral("Quorvelle"));
}

TEST_F(MenuBarManagerTest, WithoutATrayTheMenuStillWorksAndTheLackIsLogged)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    EXPECT_TRUE(log_.contains(QStringLiteral("ℹ️ [MenuBarManager] No system tray available")));
    EXPECT_FALSE(manager_->statusItem().trayIcon()->icon().isNull());
    manager_->statusItem().openPopupMenu();
    EXPECT_TRUE(menu().popupMenu()->isVisible());
    menu().popupMenu()->close();
}

TEST_F(MenuBarManagerTest, OpeningTheMenuRefreshesTheReadouts)
{
    load_.setMemory(quint64(300) << 20, quint64(8) << 30);
    cacheMegabytes_ = 12.34;
    QSignalSpy pass(&monitor_, &SystemMonitorService::passFinished);

    menu().popupMenu()->popup(QPoint(0, 0));
    ASSERT_TRUE(waitUntil([&] { return !pass.isEmpty(); }));
    menuDelays_.runScheduled();

    EXPECT_EQ(menuDelays_.scheduled(), QList<int>{MenuBarManager::kReadoutDelayMs});
    // The first pass only stores the CPU counters.
    EXPECT_EQ(menu().cpuUsageItem()->text(), QStringLiteral("CPU: 0.0%"));
    EXPECT_EQ(menu().ramUsageItem()->text(), QStringLiteral("RAM: 300 MB"));
    EXPECT_EQ(menu().cacheUsageItem()->text(), QStringLiteral("Cache: 12.3 MB"));
    menu().popupMenu()->close();
}

TEST_F(MenuBarManagerTest, EmptySubmenusSaySo)
{
    EXPECT_EQ(texts(menu().recentsSubmenu()), QStringList{"No recent wallpapers"});
    EXPECT_EQ(texts(menu().playlistsSubmenu()), QStringList{"No playlists"});
    EXPECT_FALSE(menu().recentsSubmenu()->actions().first()->isEnabled());
    EXPECT_FALSE(menu().playlistsSubmenu()->actions().first()->isEnabled());
}

TEST_F(MenuBarManagerTest, RecentsAreListedNewestFirstWithTheirPictures)
{
    recents_.addWallpaper(record(kCatalogueKey));
    recents_.addWallpaper(record(kOtherCatalogueKey, QString()));
    // Nothing of a title's escape sequences shows, and one that is nothing else reads as none.
    recents_.addWallpaper(record(kCatalogueKey + 7, QStringLiteral("\x1b[1mDusk\x1b[0m")));
    recents_.addWallpaper(record(kCatalogueKey + 8, QStringLiteral("\x1b]0;x\a\x1b[0m")));
    settle();

    EXPECT_EQ(texts(menu().recentsSubmenu()), (QStringList{"Wallpaper " + QString::number(kCatalogueKey + 8), "Dusk",
                                                  "Wallpaper " + QString::number(kOtherCatalogueKey), "Misty Pine Valley"}));
    QAction* named = recentItem(QStringLiteral("Misty Pine Valley"));
    ASSERT_TRUE(named);
    EXPECT_EQ(named->data().value<WallpaperModel>().key, kCatalogueKey);
    EXPECT_TRUE(waitUntil([named] { return !named->icon().isNull(); }));
}

TEST_F(MenuBarManagerTest, ARecentsPictureWithoutEndIsDroppedAndTheItemStays)
{
    catalogue_.server().setFault(assetUrl(kCatalogueKey, QStringLiteral("thumbnail.webp")).mid(catalogue_.server().baseUrl().size()),
        samplecatalogue::Fault{.endless = true});
    recents_.addWallpaper(record(kCatalogueKey));
    settle();
    EXPECT_TRUE(catalogue_.endlessRepliesCutOff());
    QAction* item = recentItem(QStringLiteral("Misty Pine Valley"));
    ASSERT_TRUE(item);
    EXPECT_TRUE(item->icon().isNull());
}

// A recents picture that does not come says why while its item is in the menu. (One whose
// menu is gone says nothing: a load outliving its test once wrote into the next test's log.)
TEST_F(MenuBarManagerTest, ARecentsPictureThatFailsSaysWhy)
{
    const QString picture = assetUrl(kCatalogueKey, QStringLiteral("thumbnail.webp"));
    catalogue_.server().setFault(picture.mid(catalogue_.server().baseUrl().size()), samplecatalogue::Fault{.status = 404});
    recents_.addWallpaper(record(kCatalogueKey));
    settle();
    EXPECT_TRUE(waitUntil([&] {
        return log_.contains(QStringLiteral("⚠️ [MenuBarManager] Recent wallpaper picture not read from ") + picture
                             + QStringLiteral(": not a picture (status 404)"));
    })) << log_.lines().join(u'\n').toStdString();
    QAction* item = recentItem(QStringLiteral("Misty Pine Valley"));
    ASSERT_TRUE(item);
    EXPECT_TRUE(item->icon().isNull());
}

// An own video's picture address is the video: its item shows a frame of it, and a file that
// is no video says so, rather than reading the whole file as a picture.
TEST_F(MenuBarManagerTest, ARecentOwnVideoShowsAFrameOfItself)
{
    struct Case {
        QString file;
        bool framed;
    };
    for (const Case& c : {Case{clipPath(), true}, Case{notAVideoPath(), false}}) {
        SCOPED_TRACE(c.file.toStdString());
        recents_.clearRecents();
        log_.clear();
        WallpaperModel own = record(kCatalogueKey, QStringLiteral("Own Clip"));
        own.category = QStringLiteral("Custom");
        own.imageUrl = own.posterUrl = own.masterUrl = QUrl::fromLocalFile(c.file);
        recents_.addWallpaper(own);
        settle();
        QAction* item = recentItem(QStringLiteral("Own Clip"));
        ASSERT_TRUE(item);
        const QString failure = QStringLiteral("⚠️ [MenuBarManager] Recent wallpaper picture not read from ") + own.imageUrl->toString();
        if (c.framed) {
            EXPECT_TRUE(waitUntil([item] { return !item->icon().isNull(); }));
            QMenu* recents = menu().recentsSubmenu();
            recents->adjustSize();
            keepReviewPicture(recents->grab().toImage(), QStringLiteral("menubar-screenshots"), QStringLiteral("recent-own-video"));
        } else {
            EXPECT_TRUE(waitUntil([&] { return log_.contains(failure); })) << log_.lines().join(u'\n').toStdString();
            EXPECT_TRUE(item->icon().isNull());
        }
        EXPECT_FALSE(log_.contains(failure + QStringLiteral(": not a picture")));
    }
}

TEST_F(MenuBarManagerTest, PlaylistsShowSizeIntervalAndWhichOneRotates)
{
    const WallpaperPlaylist calm = playlists_.createPlaylist(QStringLiteral("Calm"), 1800);
    playlists_.setWallpaperKeys({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, calm.id);
    playlists_.createPlaylist(QStringLiteral("Odd"), 1000);
    const WallpaperPlaylist evenings = ownPlaylist(QStringLiteral("Evenings"), {71, 72}, 86400);
    rotate(evenings);

    EXPECT_EQ(texts(menu().playlistsSubmenu()), (QStringList{"Evenings (2) - 1 day", "Odd (0) - 15 mins", "Calm (12) - 30 mins"}));
    EXPECT_TRUE(playlistItem(QStringLiteral("Evenings (2) - 1 day"))->isChecked());
    EXPECT_FALSE(playlistItem(QStringLiteral("Calm (12) - 30 mins"))->isChecked());

    playlists_.deletePlaylist(evenings.id);
    settle();
    EXPECT_EQ(texts(menu().playlistsSubmenu()), (QStringList{"Odd (0) - 15 mins", "Calm (12) - 30 mins"}));
    for (const QAction* item : menu().playlistsSubmenu()->actions())
        EXPECT_FALSE(item->isChecked());
}

TEST_F(MenuBarManagerTest, ClearCacheEmptiesTheCachesAndTheRecents)
{
    cachedRequest(kCatalogueKey);
    recents_.addWallpaper(record(kCatalogueKey));
    settle();

    menu().clearCacheItem()->trigger();

    ASSERT_EVENTUALLY(recents_.recentsOrder().isEmpty(), 10'000);
    EXPECT_FALSE(downloads_.cachedFileUrl(kCatalogueKey));
    EXPECT_EQ(texts(menu().recentsSubmenu()), QStringList{"No recent wallpapers"});
}

TEST_F(MenuBarManagerTest, ClearRamClosesTheWindowsButKeepsTheDesktopVideoPlaying)
{
    showOnDesktop(cachedRequest());
    auto* window = new QWidget();
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    const QPointer<QWidget> watched(window);
    policy_.setPolicy(ActivationPolicy::Policy::Accessory);

    menu().clearRamItem()->trigger();
    settle();

    EXPECT_TRUE(!watched || !watched->isVisible());
    EXPECT_EQ(engine_.entries().size(), 2u);
    for (const auto& [id, entry] : engine_.entries())
        EXPECT_TRUE(entry.window->isVisible()) << id;
    EXPECT_EQ(policy_.policy(), ActivationPolicy::Policy::Regular);
    EXPECT_EQ(log_.lines().filter(QStringLiteral("[MenuBarManager]")).mid(1),
        (QStringList{"✅ [MenuBarManager] Closed all app windows", "✅ [MenuBarManager] Cleared RAM and closed windows (windows can be reopened)"}));
}

TEST_F(MenuBarManagerTest, StartOnLoginFollowsTheSwitchFromEitherSide)
{
    menu().startOnLoginItem()->trigger();
    EXPECT_TRUE(autoStart_.isEnabled());
    EXPECT_TRUE(menu().startOnLoginItem()->isChecked());

    // Switched off in the settings: the menu hears of it.
    autoStart_.setEnabled(false);
    settle();
    EXPECT_FALSE(menu().startOnLoginItem()->isChecked());
}

TEST_F(MenuBarManagerTest, StartOnLoginShowsAClearCheckMarkWhenOn)
{
    QMenu* popup = menu().popupMenu();
    popup->popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
    const QRect row = popup->actionGeometry(menu().startOnLoginItem());
    const auto rowPicture = [&] {
        popup->repaint();
        return popup->grab(row).toImage().convertToFormat(QImage::Format_RGB32);
    };
    const QImage off = rowPicture();
    menu().startOnLoginItem()->trigger();
    const QImage on = rowPicture();
    popup->close();
    keepReviewPicture(off, QStringLiteral("menubar-screenshots"), QStringLiteral("start-on-login-off"));
    keepReviewPicture(on, QStringLiteral("menubar-screenshots"), QStringLiteral("start-on-login-on"));

    // A mark of its own at the item's picture, not a faint frame around the same picture.
    int changed = 0;
    for (int y = 0; y < row.height(); ++y)
        for (int x = 0; x < std::min(row.height() + 8, row.width()); ++x)
            if (std::abs(QColor(off.pixel(x, y)).lightnessF() - QColor(on.pixel(x, y)).lightnessF()) > 0.3)
                ++changed;
    EXPECT_GT(changed, 30);
}

TEST_F(MenuBarManagerTest, QuitTakesTheDesktopVideoDownFirst)
{
    showOnDesktop(cachedRequest());
    manager_->updateWallpaperStatus(true);

    menu().quitItem()->trigger();

    EXPECT_TRUE(engine_.entries().empty());
    EXPECT_FALSE(manager_->isWallpaperRunning());
    EXPECT_EQ(terminations_, 1);
}

TEST_F(MenuBarManagerTest, OpenBringsTheMainWindowBack)
{
    // The shell's presence decides (the state it would load is there already): a hidden main
    // window comes back, and with none left a new one is made.
    waitForTask(store_.initializeIfNeeded());
    auto* hidden = new QWidget();
    hidden->setAttribute(Qt::WA_DeleteOnClose);
    menu().openItem()->trigger();
    EXPECT_TRUE(log_.contains(QStringLiteral("🔓 Opening main window from menu bar...")));
    EXPECT_TRUE(waitUntil([&] { return hidden->isVisible(); }));
    EXPECT_EQ(windowsMade_, 0);

    manager_->closeAllAppWindows();
    EXPECT_TRUE(waitUntil([this] { return !presence_.trayWindowControl().showsMainWindow(); }));
    menu().openItem()->trigger();
    EXPECT_TRUE(waitUntil([this] { return windowsMade_ == 1; }));
    manager_->closeAllAppWindows();
}

TEST_F(MenuBarManagerTest, TheApplyPipelineKeepsTheMenuCurrentThroughItsHook)
{
    hook_.updateWallpaperStatus(true);
    EXPECT_TRUE(manager_->isWallpaperRunning());

    const quint64 loads = manager_->thumbnailLoader().generation();
    waitForTask(service_.applyWallpaper(cachedRequest()));
    settle();
    EXPECT_GT(manager_->thumbnailLoader().generation(), loads);
    EXPECT_TRUE(row().state().reapplyEnabled);

    hook_.updateWallpaperStatus(false);
    EXPECT_FALSE(manager_->isWallpaperRunning());
}

// A picture of the open menu with a wallpaper, recents and playlists, for a person to look at.
TEST_F(MenuBarManagerTest, TheOpenMenuIsSavedAsAPicture)
{
    recents_.addWallpaper(record(kOtherCatalogueKey, QStringLiteral("Harbour at Dusk")));
    recents_.addWallpaper(record(kCatalogueKey));
    playlists_.createPlaylist(QStringLiteral("Calm"), 1800);
    rotate(ownPlaylist(QStringLiteral("Evenings"), {71, 72, 73}));
    ASSERT_TRUE(waitUntil([this] { return !menu().thumbnailView()->thumbnailImage().isNull(); }));

    menu().popupMenu()->popup(QPoint(0, 0));
    settle();
    const QImage picture = menu().popupMenu()->grab().toImage();
    menu().popupMenu()->close();

    EXPECT_GE(picture.height(), ThumbnailMenuItemView::kSize.height() + 10 * 18);
    EXPECT_TRUE(keepReviewPicture(picture, QStringLiteral("menubar-screenshots"), QStringLiteral("menu-offscreen")));
}

} // namespace
