#include "app/VideoWallpaperApp.h"
#include "engine/HomeScreenWallpaperEngine.h"
#include "foundation/UserDefaults.h"
#include "support/FakeScreens.h"
#include "support/FakeSessionEvents.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

// The application's wallpaper manager sends its analytics through what main() hands in.
TEST(VideoWallpaperAppTest, TheSharedWallpaperManagerSendsThroughTheApplicationsAnalytics)
{
    TempFolder folder;
    FakeSessionEvents events;
    Shared<SessionEvents>::Override eventsGuard{events};
    FakeScreens screens{{}};
    Shared<Screens>::Override screensGuard{screens};
    UserDefaults defaults{UserDefaults::kStandardDomain, UserDefaults::Storage::InMemory};
    HomeScreenWallpaperEngine engine{screens, defaults};
    Shared<HomeScreenWallpaperEngine>::Override engineGuard{engine};

    QStringList sent;
    {
        VideoWallpaperApp app({QStringLiteral("quorvelle")},
                              [&sent](const QString& name, const QHash<QString, QString>&) { sent.append(name); });
        WallpaperManager::shared().send(QStringLiteral("Playlist.created"), {});
    }
    EXPECT_EQ(sent, QStringList{QStringLiteral("Playlist.created")});
}

} // namespace
