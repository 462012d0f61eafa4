#include "EngineFixture.h"

#include "engine/EngineError.h"
#include "foundation/Shared.h"
#include "support/FakeLiveWallpaperSupport.h"

#include <QSignalSpy>
#include <QTest>

namespace {

using Service = WallpaperPersistenceService;

class HomeScreenWallpaperEngineTest : public EngineFixture {
protected:
    // Calls `action`, which must throw EngineError, and hands back its description.
    template <typename Action>
    static QString failureOf(Action&& action)
    {
        try {
            action();
        } catch (const EngineError& error) {
            return error.localizedDescription();
        }
        ADD_FAILURE() << "no EngineError";
        return {};
    }

    std::optional<qint64> savedKeyOf(const ScreenInfo& screen) const
    {
        const auto saved = persistence.loadPerMonitorWallpaper(HomeScreenWallpaperEngine::displayPersistenceID(screen));
        return saved ? std::optional(saved->key) : std::nullopt;
    }
};

TEST_F(HomeScreenWallpaperEngineTest, StartsOnEveryDisplayAndRecordsEach)
{
    QSignalSpy keyChanges(&engine, &HomeScreenWallpaperEngine::currentWallpaperKeyChanged);
    engine.start(clip(), 42);

    EXPECT_EQ(entryIds(), (std::vector<quint32>{1, 2}));
    EXPECT_EQ(windowsMade, 2);
    for (const ScreenInfo& screen : {displayA(), displayB()}) {
        DesktopVideoWindow* shown = window(screen.displayId);
        ASSERT_TRUE(shown);
        EXPECT_TRUE(shown->isVisible());
        EXPECT_EQ(shown->geometry(), screen.geometry);
        EXPECT_EQ(shown->surface()->player()->url(), clip());
        EXPECT_EQ(entry(screen.displayId)->wallpaperKey, 42);
        EXPECT_EQ(savedKeyOf(screen), 42);
    }
    EXPECT_EQ(engine.currentWallpaperKey(), 42);
    EXPECT_EQ(keyChanges.count(), 1);
    EXPECT_TRUE(engine.isShowing(42));
    EXPECT_FALSE(engine.isShowing(43));
    ASSERT_TRUE(persistence.loadSavedWallpaper());
    EXPECT_EQ(persistence.loadSavedWallpaper()->masterUrl, clip());
    EXPECT_EQ(HomeScreenWallpaperEngine::displayPersistenceID(displayA()), "Display A_320x180");

    // The first frame reaches both windows.
    for (quint32 id : {1u, 2u}) {
        VideoSurface* surface = window(id)->surface();
        if (!surface->isReady()) {
            EXPECT_TRUE(QSignalSpy(surface, &VideoSurface::ready).wait(kWaitMs));
        }
    }
}

TEST_F(HomeScreenWallpaperEngineTest, RefusesBeforeChangingAnything)
{
    engine.start(clip(), 42);
    DesktopVideoWindow* before = window(1);
    const int windowsBefore = windowsMade;

    EXPECT_EQ(failureOf([&] { engine.start(missing(), 7); }),
              QStringLiteral("The video at ") + missing().toLocalFile()
                  + QStringLiteral(" could not be found. Reinstall or choose another wallpaper."));
    EXPECT_EQ(failureOf([&] { engine.start(QUrl(QStringLiteral("https://example.com/video.mp4")), 7); }),
              "The video at /video.mp4 could not be found. Reinstall or choose another wallpaper.");
    EXPECT_FALSE(failureOf([&] { engine.applyToScreen(displayA(), 1, missing(), 7); }).isEmpty());
    // A folder is no video either.
    EXPECT_FALSE(failureOf([&] { engine.applyToScreen(displayA(), 1, QUrl::fromLocalFile(folder.path()), 7); }).isEmpty());
    EXPECT_EQ(window(1), before);
    EXPECT_EQ(windowsMade, windowsBefore);
    EXPECT_EQ(engine.currentWallpaperKey(), 42);

    screens.setScreens({});
    EXPECT_EQ(failureOf([&] { engine.start(clip(), 7); }), "Wallpaper engine unavailable: No connected displays were detected.");
    EXPECT_EQ(window(1), before);
}

TEST_F(HomeScreenWallpaperEngineTest, StartsOnChosenDisplaysAndLeavesTheOthers)
{
    engine.start(clip(), 1);
    DesktopVideoWindow* first = window(1);
    const QUrl other = copyOfClip(QStringLiteral("other.mp4"));

    engine.start(other, 2, QSet<int>{1});
    EXPECT_EQ(window(1), first);
    EXPECT_EQ(entry(1)->wallpaperKey, 1);
    EXPECT_EQ(entry(2)->wallpaperKey, 2);
    EXPECT_EQ(entry(2)->videoURL, other);
    // The first entry by display id names the wallpaper.
    EXPECT_EQ(engine.currentWallpaperKey(), 1);
    EXPECT_TRUE(engine.isShowing(2));

    engine.pause();
    DesktopVideoWindow* second = window(2);
    engine.start(clip(), 3, QSet<int>{5});
    EXPECT_EQ(window(1), first);
    EXPECT_EQ(window(2), second);
    EXPECT_FALSE(engine.isPaused());
}

TEST_F(HomeScreenWallpaperEngineTest, ApplyingToOneDisplayRecordsItAndTheMainDisplayAlone)
{
    engine.applyToScreen(displayB(), 2, clip(), 5);
    EXPECT_EQ(savedKeyOf(displayB()), 5);
    // Only the main display's wallpaper becomes the single saved one.
    EXPECT_FALSE(defaults.contains(Service::kWallpaperKeyKey));

    engine.applyToScreen(displayA(), 1, clip(), 6);
    EXPECT_EQ(defaults.integer(Service::kWallpaperKeyKey), 6);
    EXPECT_EQ(engine.currentWallpaperKey(), 6);
}

TEST_F(HomeScreenWallpaperEngineTest, PauseReachesEveryPlayerAndANewDisplayPlays)
{
    engine.start(clip(), 1);
    QSignalSpy pausedChanges(&engine, &HomeScreenWallpaperEngine::isPausedChanged);
    engine.pause();
    EXPECT_TRUE(engine.isPaused());
    EXPECT_TRUE(window(1)->surface()->isPaused());
    EXPECT_TRUE(window(2)->surface()->player()->isPaused());

    engine.applyToScreen(displayB(), 2, clip(), 2);
    EXPECT_FALSE(window(2)->surface()->isPaused());
    EXPECT_TRUE(window(1)->surface()->isPaused());
    EXPECT_FALSE(engine.isPaused());

    engine.resume();
    EXPECT_FALSE(window(1)->surface()->isPaused());
    EXPECT_EQ(pausedChanges.count(), 2);
}

TEST_F(HomeScreenWallpaperEngineTest, StartWithoutAKeyPlaysButRecordsNothing)
{
    engine.start(clip());
    EXPECT_EQ(entryIds(), (std::vector<quint32>{1, 2}));
    EXPECT_FALSE(engine.currentWallpaperKey());
    EXPECT_TRUE(defaults.keys().isEmpty());
}

TEST_F(HomeScreenWallpaperEngineTest, ADisplayThatLeavesAndReturnsGetsItsWallpaperBack)
{
    engine.start(clip(), 42);
    screens.setScreens({displayA()});
    engine.handleScreenConfigurationChange();
    EXPECT_EQ(entryIds(), std::vector<quint32>{1});
    EXPECT_EQ(savedKeyOf(displayB()), 42);
    EXPECT_EQ(engine.currentWallpaperKey(), 42);

    screens.setScreens({displayA(), displayB()});
    engine.handleScreenConfigurationChange();
    ASSERT_TRUE(entry(2));
    EXPECT_EQ(entry(2)->wallpaperKey, 42);
    EXPECT_EQ(entry(2)->videoURL, clip());
}

// Monitors without a model are shown as "Display 1", "Display 2" by their place; their records
// follow the connector, so swapping them does not swap their wallpapers.
TEST_F(HomeScreenWallpaperEngineTest, RecordsFollowTheConnectorNotTheShownName)
{
    const auto nameless = [](const QString& shown, const QString& connector, const QRect& frame, quint32 id) {
        ScreenInfo screen = display(shown, frame, id);
        screen.persistenceName = connector;
        return screen;
    };
    screens.setScreens({nameless(QStringLiteral("Display 1"), QStringLiteral("HDMI-1"), QRect(0, 0, 320, 180), 1),
        nameless(QStringLiteral("Display 2"), QStringLiteral("DP-2"), QRect(320, 0, 320, 180), 2)});
    engine.applyToScreen(screens.screens().at(0), 1, clip(), 5);
    engine.applyToScreen(screens.screens().at(1), 2, clip(), 6);
    EXPECT_EQ(persistence.loadPerMonitorWallpaper(QStringLiteral("HDMI-1_320x180"))->key, 5);
    EXPECT_EQ(persistence.loadPerMonitorWallpaper(QStringLiteral("DP-2_320x180"))->key, 6);

    const ScreenInfo swappedDp = nameless(QStringLiteral("Display 1"), QStringLiteral("DP-2"), QRect(0, 0, 320, 180), 2);
    const ScreenInfo swappedHdmi = nameless(QStringLiteral("Display 2"), QStringLiteral("HDMI-1"), QRect(320, 0, 320, 180), 1);
    screens.setScreens({swappedDp, swappedHdmi});
    EXPECT_EQ(savedKeyOf(swappedDp), 6);
    EXPECT_EQ(savedKeyOf(swappedHdmi), 5);
}

TEST_F(HomeScreenWallpaperEngineTest, AReturningDisplayWhoseVideoIsGoneStaysEmpty)
{
    const QUrl other = copyOfClip(QStringLiteral("gone.mp4"));
    engine.start(other, 42);
    screens.setScreens({displayA()});
    engine.handleScreenConfigurationChange();
    ASSERT_TRUE(QFile::remove(other.toLocalFile()));

    screens.setScreens({displayA(), displayB()});
    engine.handleScreenConfigurationChange();
    EXPECT_EQ(entryIds(), std::vector<quint32>{1});
}

TEST_F(HomeScreenWallpaperEngineTest, ALayoutChangeMovesWindowsWithTheirDisplays)
{
    engine.start(clip(), 1);
    DesktopVideoWindow* before = window(1);
    ScreenInfo larger = displayA();
    larger.geometry = QRect(0, 0, 480, 270);
    screens.setScreens({larger, displayB()});

    engine.handleScreenConfigurationChange();
    EXPECT_EQ(window(1), before);
    EXPECT_EQ(window(1)->geometry(), larger.geometry);

    // The engine also follows the layout on its own while it shows a wallpaper.
    larger.geometry = QRect(0, 0, 400, 200);
    screens.setScreens({larger, displayB()});
    screens.announceChange();
    EXPECT_EQ(window(1)->geometry(), larger.geometry);
}

TEST_F(HomeScreenWallpaperEngineTest, NewDisplaysMirrorAWallpaperUnlessTheyHaveTheirOwn)
{
    const QUrl own = copyOfClip(QStringLiteral("own.mp4"));
    persistence.savePerMonitorWallpaper(HomeScreenWallpaperEngine::displayPersistenceID(displayB()), 8, own);

    // Nothing shows: nothing to extend, records or not.
    engine.reapplySavedPerMonitorWallpapers();
    EXPECT_TRUE(engine.entries().empty());

    const ScreenInfo displayC = display(QStringLiteral("Display C"), QRect(640, 0, 320, 180), 3);
    screens.setScreens({displayA()});
    engine.start(clip(), 7);
    screens.setScreens({displayA(), displayB(), displayC});
    engine.reapplySavedPerMonitorWallpapers();
    EXPECT_EQ(entry(2)->wallpaperKey, 8);
    EXPECT_EQ(entry(2)->videoURL, own);
    EXPECT_EQ(entry(3)->wallpaperKey, 7);
    EXPECT_EQ(entry(3)->videoURL, clip());
    EXPECT_EQ(savedKeyOf(displayC), 7);
}

TEST_F(HomeScreenWallpaperEngineTest, RemovingAndStoppingLetGoOfEverything)
{
    engine.start(clip(), 42);
    engine.removeWallpaper(2);
    EXPECT_EQ(entryIds(), std::vector<quint32>{1});
    EXPECT_FALSE(savedKeyOf(displayB()));

    engine.removeWallpaper(1);
    EXPECT_TRUE(engine.entries().empty());
    EXPECT_FALSE(engine.currentWallpaperKey());
    // The single saved wallpaper stays for the next launch.
    EXPECT_EQ(defaults.integer(Service::kWallpaperKeyKey), 42);
    // Unknown displays only refresh the key.
    engine.removeWallpaper(99);
    screens.announceChange();

    engine.start(clip(), 42);
    engine.pause();
    engine.stopAll();
    engine.stopAll();
    EXPECT_TRUE(engine.entries().empty());
    EXPECT_FALSE(engine.currentWallpaperKey());
    EXPECT_FALSE(engine.isPaused());
    EXPECT_EQ(savedKeyOf(displayA()), 42);
}

TEST_F(HomeScreenWallpaperEngineTest, AFileThatIsNoVideoLeavesTheDesktopPictureAndTheOtherDisplay)
{
    engine.start(clip(), 1, QSet<int>{0});
    QSignalSpy failures(&engine, &HomeScreenWallpaperEngine::playbackFailed);
    engine.start(notAVideo(), 2, QSet<int>{1});

    ASSERT_TRUE(failures.wait(kWaitMs));
    EXPECT_EQ(failures.first().at(0).value<quint32>(), 2u);
    ASSERT_TRUE(entry(2));
    EXPECT_TRUE(entry(2)->playbackFailed);
    EXPECT_FALSE(window(2)->isVisible());
    EXPECT_TRUE(window(1)->isVisible());
    EXPECT_FALSE(entry(1)->playbackFailed);

    // A layout change shows the windows again, except the one that cannot play.
    screens.announceChange();
    EXPECT_FALSE(window(2)->isVisible());
    EXPECT_TRUE(window(1)->isVisible());
}

// Work that waited (the launch's download) learns from the count whether anyone changed the
// desktop since it began: every caller's change counts, a refused one and the engine's own
// re-applies after a display change do not.
TEST_F(HomeScreenWallpaperEngineTest, EveryChangeACallerMakesIsCounted)
{
    struct Case {
        const char* name;
        std::function<void()> act;
        bool counts;
    };
    const QList<Case> cases{
        {"start on every display", [this] { engine.start(clip(), 5); }, true},
        {"start on one display", [this] { engine.start(clip(), 6, QSet<int>{1}); }, true},
        {"one display's wallpaper", [this] { engine.applyToScreen(displayA(), 1, clip(), 7); }, true},
        {"one display removed", [this] { engine.removeWallpaper(2); }, true},
        {"everything stopped", [this] { engine.stopAll(); }, true},
        {"a refused start", [this] { EXPECT_FALSE(failureOf([&] { engine.start(missing(), 8); }).isEmpty()); }, false},
        {"a display that comes back",
            [this] {
                engine.start(clip(), 9, QSet<int>{0});
                const quint64 before = engine.applyGeneration();
                screens.setScreens({displayA()});
                engine.handleScreenConfigurationChange();
                screens.setScreens({displayA(), displayB()});
                engine.handleScreenConfigurationChange();
                engine.reapplySavedPerMonitorWallpapers();
                EXPECT_EQ(engine.applyGeneration(), before);
                EXPECT_TRUE(entry(2));
            },
            true},
        {"pause and resume", [this] { engine.pause(); engine.resume(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const quint64 before = engine.applyGeneration();
        c.act();
        EXPECT_EQ(engine.applyGeneration() != before, c.counts);
    }
}

// An older claim lands only on the displays no newer choice claimed since it began, whichever
// caller made that choice; with none left nothing changes at all.
TEST_F(HomeScreenWallpaperEngineTest, AnOlderClaimLandsOnlyWhereNothingNewerWasChosen)
{
    struct Case {
        const char* name;
        std::optional<QSet<int>> older; // positions; absent is every display
        std::function<void()> newer;
        std::optional<qint64> onA;
        std::optional<qint64> onB;
        int landed;
    };
    const QList<Case> cases{
        {"nothing newer", std::nullopt, [] {}, 5, 5, 2},
        {"a newer choice for display A", std::nullopt, [this] { engine.start(clip(), 7, QSet<int>{0}); }, 7, 5, 1},
        {"display A's wallpaper applied", std::nullopt, [this] { engine.applyToScreen(displayA(), 1, clip(), 7); }, 7, 5, 1},
        {"display B cleared", std::nullopt, [this] { engine.removeWallpaper(2); }, 5, std::nullopt, 1},
        {"a newer claim of every display", std::nullopt, [this] { engine.claim(); }, std::nullopt, std::nullopt, 0},
        {"everything stopped", std::nullopt, [this] { engine.stopAll(); }, std::nullopt, std::nullopt, 0},
        {"display B alone, display A chosen since", QSet<int>{1}, [this] { engine.start(clip(), 7, QSet<int>{0}); }, 7, 5, 1},
        {"display A alone, chosen again since", QSet<int>{0}, [this] { engine.claimDisplay(1); }, std::nullopt, std::nullopt, 0},
        {"a display change in between", std::nullopt,
            [this] {
                screens.setScreens({displayA()});
                engine.handleScreenConfigurationChange();
                screens.setScreens({displayA(), displayB()});
                engine.handleScreenConfigurationChange();
            },
            5, 5, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engine.stopAll();
        persistence.clearAllPerMonitorWallpapers();
        const DesktopClaim older = engine.claim(c.older);
        c.newer();
        EXPECT_EQ(engine.holdsAll(older), c.landed == (c.older ? c.older->size() : 2));
        EXPECT_EQ(engine.holdsAny(older), c.landed > 0);
        EXPECT_EQ(engine.land(clip(), 5, older), c.landed);
        const ScreenEntry* a = entry(1);
        const ScreenEntry* b = entry(2);
        EXPECT_EQ(a ? a->wallpaperKey : std::nullopt, c.onA);
        EXPECT_EQ(b ? b->wallpaperKey : std::nullopt, c.onB);
        EXPECT_EQ(savedKeyOf(displayA()), c.onA);
        EXPECT_EQ(savedKeyOf(displayB()), c.onB);
    }
}

// A claim of every display covers a display attached after it began, unless that display was
// chosen for since.
TEST_F(HomeScreenWallpaperEngineTest, AClaimOfEveryDisplayCoversOneAttachedLater)
{
    screens.setScreens({displayA()});
    const DesktopClaim older = engine.claim();
    screens.setScreens({displayA(), displayB()});
    EXPECT_EQ(engine.land(clip(), 5, older), 2);

    const DesktopClaim again = engine.claim();
    screens.setScreens({displayA()});
    engine.removeWallpaper(1);
    EXPECT_FALSE(engine.holdsAny(again));
    screens.setScreens({displayA(), displayB()});
    EXPECT_EQ(engine.land(clip(), 6, again), 1);
    EXPECT_FALSE(entry(1));
    EXPECT_EQ(entry(2)->wallpaperKey, 6);
}

// Where no application may draw below the windows, every road that shows a wallpaper keeps
// the choice and its records but makes no window, and whatever follows leaves that alone.
TEST_F(HomeScreenWallpaperEngineTest, WithoutALiveWallpaperTheChoiceIsKeptWithoutAWindow)
{
    FakeLiveWallpaperSupport noLayerShell(false);
    Shared<LiveWallpaperSupport>::Override support(noLayerShell);
    EXPECT_FALSE(engine.drawsLiveWallpaper());

    engine.start(clip(), 42);
    engine.applyToScreen(displayB(), 2, copyOfClip(QStringLiteral("b.mp4")), 43);
    engine.pause();
    engine.resume();
    screens.setScreens({displayA(), display(QStringLiteral("Display C"), QRect(640, 0, 320, 180), 3)});
    screens.announceChange();
    engine.handleScreenConfigurationChange();
    engine.reapplySavedPerMonitorWallpapers();

    EXPECT_EQ(windowsMade, 0);
    EXPECT_EQ(entryIds(), (std::vector<quint32>{1, 3}));
    for (quint32 id : entryIds())
        EXPECT_EQ(window(id), nullptr) << id;
    EXPECT_EQ(engine.currentWallpaperKey(), 42);
    EXPECT_TRUE(engine.isShowing(42));
    EXPECT_EQ(savedKeyOf(displayA()), 42);
    EXPECT_EQ(savedKeyOf(displayB()), 43);

    // Told once per run, and never where a live wallpaper plays.
    EXPECT_TRUE(engine.takeStillPictureNotice());
    EXPECT_FALSE(engine.takeStillPictureNotice());
    HomeScreenWallpaperEngine live(screens, defaults);
    FakeLiveWallpaperSupport layerShell(true);
    Shared<LiveWallpaperSupport>::Override liveSupport(layerShell);
    EXPECT_FALSE(live.takeStillPictureNotice());
}

} // namespace
