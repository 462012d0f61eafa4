#pragma once

#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/WallpaperPersistenceService.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "library/PlaylistPlaybackService.h"
#include "library/RotationTimer.h"
#include "library/WallpaperPlaylistService.h"
#include "support/FakeScreens.h"
#include "support/TempFolder.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <memory>

// The wallpaper side of the application as the shell sees it: one fake display, the real
// engine (offscreen desktop video windows), persistence, playlists and rotation on an in-memory
// defaults store, each installed as the shared instance, in a temporary folder.
class WallpaperShellFixture : public ::testing::Test {
protected:
    static constexpr qint64 kKey = 1718000000137;

    static ScreenInfo mainDisplay() { return FakeScreens::display(QStringLiteral("Display A"), QRect(0, 0, 320, 180)); }
    static QUrl clip() { return QUrl::fromLocalFile(TestPaths::dataFile(QStringLiteral("loop-320x180.mp4"))); }

    // The key's master video in the download cache, as an earlier apply left it.
    QUrl cacheMasterVideo(qint64 key) const
    {
        const QString wallpapers = Paths::appCaches() + QStringLiteral("/Wallpapers");
        QDir().mkpath(wallpapers);
        const QString path = wallpapers + u'/' + QString::number(key) + QStringLiteral(".mp4");
        EXPECT_TRUE(QFile::copy(clip().toLocalFile(), path));
        return QUrl::fromLocalFile(path);
    }

    // A playlist of `keys`, started (no asset host is known, so nothing is applied).
    void startPlaylist(const QList<qint64>& keys)
    {
        const WallpaperPlaylist created = playlists.createPlaylist(QStringLiteral("Evenings"), 300);
        playlists.setWallpaperKeys(keys, created.id);
        playback->startPlaylist(*playlists.playlist(created.id));
    }

    TempFolder folder;
    ManualClock clock;
    UserDefaults defaults{UserDefaults::kStandardDomain, UserDefaults::Storage::InMemory};
    FakeScreens screens{{mainDisplay()}};
    Shared<Screens>::Override screensGuard{screens};
    WallpaperPersistenceService persistence{defaults};
    Shared<WallpaperPersistenceService>::Override persistenceGuard{persistence};
    HomeScreenWallpaperEngine engine{screens, defaults};
    Shared<HomeScreenWallpaperEngine>::Override engineGuard{engine};
    WallpaperPlaylistService playlists{defaults, clock};
    Shared<WallpaperPlaylistService>::Override playlistsGuard{playlists};
    std::unique_ptr<PlaylistPlaybackService> playback = std::make_unique<PlaylistPlaybackService>(defaults, std::make_unique<RotationTimer>());
    Shared<PlaylistPlaybackService>::Override playbackGuard{*playback};
    LogCapture log;
};
