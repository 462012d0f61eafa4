#pragma once

#include "engine/ApplyHarness.h"

#include "app/MainWindowPresence.h"
#include "engine/CacheService.h"
#include "engine/VideoCacheService.h"
#include "engine/WallpaperImageCache.h"
#include "foundation/Async.h"
#include "menubar/MenuBarManager.h"
#include "menubar/MenuThumbnailLoader.h"
#include "menubar/PlaylistControlsRowView.h"
#include "menubar/StatusMenu.h"
#include "menubar/ThumbnailMenuItemView.h"
#include "platform/ActivationPolicy.h"
#include "session/AutoStartService.h"
#include "session/LoginItemService.h"
#include "session/NotificationCenter.h"
#include "session/SystemMonitorService.h"
#include "support/FakeLoginItem.h"
#include "support/FakeSystemLoad.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QWidgetAction>

#include <atomic>

// The tray menu over the real services of the apply pipeline (sample catalogue, engine with
// offscreen desktop windows on two fake displays, recording desktop picture, lock-screen
// stand-in, in-memory stores), plus the shell's services it reads: the start-at-login switch
// over a fake login item, the resource monitor over fake figures, the caches in the temporary
// folder. The manager's own delays and its quitting are in the test's hands; it reaches the
// windows through the shell's presence, whose new main windows are plain counted widgets.
class MenuBarFixture : public ApplyHarness {
protected:
    MenuBarFixture()
    {
        manager_->setWindowControl(presence_.trayWindowControl());
        settle();
    }

    ~MenuBarFixture() override
    {
        // Runs still going (a slow download, a lock-screen install) end before the services go.
        waitUntil([this] { return manager_->activeRuns() == 0; });
        images_.waitForDiskWrites();
    }

    // Runs what the event loop has queued (the manager's first refresh, queued toast changes).
    static void settle()
    {
        for (int turn = 0; turn < 5; ++turn)
            QCoreApplication::processEvents();
    }
    // Waits for every pipeline run started so far, then for what it queued.
    void waitForRuns()
    {
        ASSERT_TRUE(waitUntil([this] { return manager_->activeRuns() == 0; }));
        settle();
    }

    StatusMenu& menu() const { return manager_->menu(); }
    PlaylistControlsRowView& row() const { return *menu().playlistControlsView(); }

    static QStringList texts(const QMenu* menu)
    {
        QStringList items;
        const QList<QAction*> actions = menu->actions();
        for (const QAction* action : actions)
            items.append(action->isSeparator() ? QStringLiteral("---") : action->text());
        return items;
    }
    QAction* recentItem(const QString& title) const { return itemNamed(menu().recentsSubmenu(), title); }
    QAction* playlistItem(const QString& title) const { return itemNamed(menu().playlistsSubmenu(), title); }
    static QAction* itemNamed(const QMenu* menu, const QString& title)
    {
        const QList<QAction*> actions = menu->actions();
        for (QAction* action : actions)
            if (action->text() == title)
                return action;
        ADD_FAILURE() << "no item " << title.toStdString();
        return nullptr;
    }

    // One of the user's own videos, recorded in the own-wallpapers list.
    WallpaperModel ownWallpaper(qint64 key)
    {
        const WallpaperModel model = *customRequest(key).wallpaper;
        custom_.addCustomWallpaper(model);
        return model;
    }
    // A playlist of own wallpapers, so the rotation needs no network.
    WallpaperPlaylist ownPlaylist(const QString& name, const QList<qint64>& keys, qint64 interval = 300)
    {
        for (const qint64 key : keys)
            ownWallpaper(key);
        const WallpaperPlaylist created = playlists_.createPlaylist(name, interval);
        playlists_.setWallpaperKeys(keys, created.id);
        return *playlists_.playlist(created.id);
    }
    // Starts the playlist and waits for its first wallpaper on the desktop.
    void rotate(const WallpaperPlaylist& playlist)
    {
        rotation_.startPlaylist(playlist);
        ASSERT_TRUE(waitUntil([&] { return !rotation_.isApplying() && shownKey() == playlist.wallpaperKeys.value(rotation_.currentIndex()); }));
        settle();
    }
    // The wallpaper on the desktop as a finished apply leaves it: playing, saved (by the engine,
    // with the local file it plays), and shown in the menu.
    void showOnDesktop(const WallpaperApplyRequest& request)
    {
        waitForTask(service_.applyWallpaper(request));
        manager_->updateThumbnail();
        settle();
    }

    // The manager's delayed calls wait for the test; its sleeps are noted and last one turn of
    // the event loop, so toast changes queued before them still come first, as with real time.
    Delays menuDelays()
    {
        Delays delays = menuDelays_.delays();
        delays.sleep = [this](int ms, std::stop_token) -> QCoro::Task<bool> {
            menuSleeps_.append(ms);
            co_return co_await sleepFor(0);
        };
        return delays;
    }

    ManualDelays menuDelays_;
    QList<int> menuSleeps_;
    int terminations_ = 0;

    NotificationCenter center_;
    Shared<NotificationCenter>::Override centerOverride_{center_};
    FakeLoginItem loginItem_;
    LoginItemService loginItems_{loginItem_, defaults_, center_};
    Shared<LoginItemService>::Override loginItemsOverride_{loginItems_};
    AutoStartService autoStart_{loginItems_, defaults_, center_};
    Shared<AutoStartService>::Override autoStartOverride_{autoStart_};
    FakeSystemLoad load_;
    // Read by the monitor's worker thread.
    std::atomic<double> cacheMegabytes_ = 0;
    SystemMonitorService monitor_{load_, [this] { return cacheMegabytes_.load(); }, clock_};
    Shared<SystemMonitorService>::Override monitorOverride_{monitor_};
    WallpaperImageCache images_{Paths::appCaches() + QStringLiteral("/images")};
    VideoCacheService previews_;
    CacheService caches_{images_, previews_, downloads_};
    Shared<CacheService>::Override cachesOverride_{caches_};
    ActivationPolicy policy_;
    Shared<ActivationPolicy>::Override policyOverride_{policy_};

    int windowsMade_ = 0;
    MainWindowPresence presence_{policy_, defaults_, [this] {
                                     ++windowsMade_;
                                     auto* window = new QWidget();
                                     window->setAttribute(Qt::WA_DeleteOnClose);
                                     return window;
                                 }};

    std::unique_ptr<MenuBarManager> manager_ = std::make_unique<MenuBarManager>(
        MenuBarManager::Options{.delays = menuDelays(), .terminate = [this] { ++terminations_; }});
    Shared<MenuBarManager>::Override managerOverride_{*manager_};
};
