#pragma once

#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/WallpaperPersistenceService.h"
#include "foundation/UserDefaults.h"
#include "platform/DesktopVideoWindow.h"
#include "platform/VideoPlayer.h"
#include "platform/VideoSurface.h"
#include "support/FakeScreens.h"
#include "support/TestPaths.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// An engine over two small fake displays, an in-memory defaults store and real (offscreen)
// desktop video windows playing the small test loop. Display A (id 1) is the main display.
class EngineFixture : public ::testing::Test {
protected:
    static constexpr int kWaitMs = 15'000;

    static ScreenInfo display(const QString& name, const QRect& geometry, quint32 id)
    {
        ScreenInfo screen = FakeScreens::display(name, geometry);
        screen.displayId = id;
        return screen;
    }
    static ScreenInfo displayA() { return display(QStringLiteral("Display A"), QRect(0, 0, 320, 180), 1); }
    static ScreenInfo displayB() { return display(QStringLiteral("Display B"), QRect(320, 0, 320, 180), 2); }

    static QUrl clip() { return QUrl::fromLocalFile(TestPaths::dataFile(QStringLiteral("loop-320x180.mp4"))); }
    static QUrl notAVideo() { return QUrl::fromLocalFile(TestPaths::dataFile(QStringLiteral("not-a-video.mp4"))); }
    QUrl missing() const { return QUrl::fromLocalFile(folder.filePath(QStringLiteral("missing.mp4"))); }
    // A second video file, distinct from clip() by its address.
    QUrl copyOfClip(const QString& name) const
    {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(QFile::copy(clip().toLocalFile(), path));
        return QUrl::fromLocalFile(path);
    }

    const ScreenEntry* entry(quint32 id) const
    {
        const auto found = engine.entries().find(id);
        return found == engine.entries().end() ? nullptr : &found->second;
    }
    DesktopVideoWindow* window(quint32 id) const
    {
        const ScreenEntry* found = entry(id);
        return found ? found->window.get() : nullptr;
    }
    std::vector<quint32> entryIds() const
    {
        std::vector<quint32> ids;
        for (const auto& [id, each] : engine.entries())
            ids.push_back(id);
        return ids;
    }

    QTemporaryDir folder;
    FakeScreens screens{{displayA(), displayB()}};
    UserDefaults defaults{QStringLiteral("engine-test"), UserDefaults::Storage::InMemory};
    WallpaperPersistenceService persistence{defaults};
    int windowsMade = 0;
    HomeScreenWallpaperEngine engine{screens, defaults, [this] {
                                         ++windowsMade;
                                         return std::make_unique<DesktopVideoWindow>();
                                     }};
};
