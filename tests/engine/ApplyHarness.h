#pragma once

#include "engine/LockScreenFixture.h"
#include "engine/ManualDelays.h"
#include "library/ManualRotationTimer.h"
#include "support/TaskWait.h"
#include "support/TestPaths.h"

#include "backend/APIService.h"
#include "backend/WallpaperCounterService.h"
#include "engine/AerialsFolders.h"
#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/LockScreenService.h"
#include "engine/MenuBarHook.h"
#include "engine/StaticWallpaperService.h"
#include "engine/VideoConversionService.h"
#include "engine/WallpaperAerialsExtensionService.h"
#include "engine/WallpaperApplyService.h"
#include "engine/WallpaperDownloadService.h"
#include "engine/WallpaperPersistenceService.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "library/CustomWallpapersService.h"
#include "library/LikedWallpapersService.h"
#include "library/PlaylistPlaybackService.h"
#include "library/RecentsWallpapersService.h"
#include "library/WallpaperPlaylistService.h"
#include "platform/Http.h"
#include "state/AppStore.h"
#include "state/HomePageService.h"
#include "state/NotificationManager.h"
#include "support/FakeDesktopPicture.h"
#include "support/FakeScreens.h"
#include "support/SampleCatalogueFixture.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <functional>
#include <optional>

// What an apply did, seen from outside, in order: one entry per step, a step repeated at once
// (two displays) counted once.
class ApplyTrace {
public:
    void add(const QString& step)
    {
        if (steps_.isEmpty() || steps_.last() != step)
            steps_.append(step);
    }
    const QStringList& steps() const { return steps_; }
    void clear() { steps_.clear(); }

private:
    QStringList steps_;
};

// Every change of the toast's message, progress and visibility, in order.
class ToastRecorder {
public:
    explicit ToastRecorder(NotificationManager& toast) : toast_(toast)
    {
        QObject::connect(&toast, &NotificationManager::messageChanged, &toast, [this] { events_.append(u"message:" + toast_.message()); });
        QObject::connect(&toast, &NotificationManager::progressChanged, &toast,
            [this] { events_.append(u"progress:" + QString::number(toast_.progress())); });
        QObject::connect(&toast, &NotificationManager::isPresentedChanged, &toast,
            [this] { events_.append(toast_.isPresented() ? QStringLiteral("shown") : QStringLiteral("hidden")); });
    }
    const QStringList& events() const { return events_; }
    QStringList messages() const { return events_.filter(QStringLiteral("message:")); }
    void clear() { events_.clear(); }

private:
    NotificationManager& toast_;
    QStringList events_;
};

// Hands every picture to the recording fake and notes the step in the trace.
class TracingDesktopPicture : public FakeDesktopPicture {
public:
    explicit TracingDesktopPicture(ApplyTrace& trace) : trace_(trace) {}
    QCoro::Task<> setPicture(QString imagePath, ScreenInfo screen) override
    {
        trace_.add(QStringLiteral("still picture"));
        return FakeDesktopPicture::setPicture(std::move(imagePath), std::move(screen));
    }

private:
    ApplyTrace& trace_;
};

// The apply pipeline on real services: a sample catalogue for downloads, thumbnails and
// counters; an engine with real offscreen desktop video windows on two fake displays; the still
// picture through a recording desktop; the lock-screen stand-in folders in a temporary folder
// with a dummy extension process; in-memory stores; and delays a test drives by hand.
class ApplyHarness : public ::testing::Test {
protected:
    static constexpr qint64 kCatalogueKey = 1718000000137;
    static constexpr qint64 kOtherCatalogueKey = 1718000000211;
    static constexpr int kWaitMs = 60'000;
    // What a desktop says covers the video, as long as sway's own words for it (48 words).
    static inline const QString kCoveringNotice = QStringLiteral(
        "A wallpaper program started before Quorvelle (swaybg) covers the live wallpaper: sway draws the background it got "
        "first on top. Set the picture with sway's own \"output * bg\" line instead of an \"exec swaybg\" line in the sway "
        "configuration, then log in again.");

    // How much longer than `askedSeconds` a toast hidden after them stays for its words to be read.
    static int unreadMs(const QString& message, double askedSeconds)
    {
        return int(std::lround((NotificationManager::readingSeconds(message) - askedSeconds) * 1000));
    }

    ApplyHarness()
    {
        QObject::connect(&engine_, &HomeScreenWallpaperEngine::entriesChanged, &engine_, [this] { trace_.add(QStringLiteral("desktop video")); });
        QObject::connect(&hook_, &MenuBarHook::thumbnailUpdateRequested, &hook_, [this] { trace_.add(QStringLiteral("menu thumbnail")); });
        QObject::connect(&recents_, &RecentsWallpapersService::recentsWallpapersChanged, &recents_, [this] { trace_.add(QStringLiteral("recents")); });
        conversion_.setStepHook([this](const QString& step) {
            if (step == failAtStep_)
                throw std::runtime_error("stopped at " + step.toStdString());
            if (!step.endsWith(QLatin1String("staged")))
                trace_.add(step);
        });
        // The restart only looks for the dummy extension; it never has to wait for it to go.
        restarter_.setSignalSender([this](qint32, int) {
            trace_.add(QStringLiteral("extension restarted"));
            return restartError_;
        });
        extension_.start();
        setLockScreenFeature(false);
        // The liked list is read on a worker even when nothing is stored: a like made before it
        // arrives would wait for it.
        QSignalSpy likedLoaded(&liked_, &LikedWallpapersService::isLoadingChanged);
        EXPECT_TRUE(liked_.isLoading() ? likedLoaded.wait(10'000) : true);
    }

    ~ApplyHarness() override { drainCounterRequests(); }

    static ScreenInfo display(const QString& name, int x, quint32 id)
    {
        ScreenInfo screen = FakeScreens::display(name, QRect(x, 0, 320, 180));
        screen.displayId = id;
        return screen;
    }
    static QString clipPath() { return TestPaths::dataFile(QStringLiteral("loop-320x180.mp4")); }
    static QString notAVideoPath() { return TestPaths::dataFile(QStringLiteral("not-a-video.mp4")); }

    QString assetUrl(qint64 key, const QString& file)
    {
        return catalogue_.server().baseUrl() + QStringLiteral("/wallpaper/") + QString::number(key) + u'/' + file;
    }
    QUrl masterUrl(qint64 key) { return QUrl(assetUrl(key, QStringLiteral("master.mp4"))); }
    QString masterPath(qint64 key) { return assetUrl(key, QStringLiteral("master.mp4")).mid(catalogue_.server().baseUrl().size()); }

    // A catalogue record as the views hold it, its image on the asset host.
    WallpaperModel record(qint64 key, const QString& title = QStringLiteral("Misty Pine Valley"))
    {
        WallpaperModel model;
        model.id = QUuid::createUuid();
        model.key = key;
        model.title = title;
        model.category = QStringLiteral("Nature");
        model.imageUrl = QUrl(assetUrl(key, QStringLiteral("thumbnail.webp")));
        model.posterUrl = QUrl(assetUrl(key, QStringLiteral("poster.webp")));
        model.masterUrl = masterUrl(key);
        return model;
    }
    // A catalogue wallpaper whose master video is already in the download cache (the small loop).
    WallpaperApplyRequest cachedRequest(qint64 key = kCatalogueKey)
    {
        QDir().mkpath(WallpaperDownloadService::folderPath());
        QFile::copy(clipPath(), WallpaperDownloadService::folderPath() + u'/' + WallpaperDownloadService::fileName(key));
        return WallpaperApplyRequest{.key = key, .videoURL = masterUrl(key), .wallpaper = record(key)};
    }
    // One of the user's own videos, stored where own videos live.
    WallpaperApplyRequest customRequest(qint64 key)
    {
        const QString folder = custom_.folderPath();
        QDir().mkpath(folder);
        const QString file = folder + u'/' + QString::number(key) + QStringLiteral(".mp4");
        QFile::copy(clipPath(), file);
        WallpaperModel model;
        model.id = QUuid::createUuid();
        model.key = key;
        model.title = QStringLiteral("My Beach");
        model.category = QStringLiteral("Custom");
        model.imageUrl = QUrl::fromLocalFile(file);
        model.masterUrl = QUrl::fromLocalFile(file);
        return WallpaperApplyRequest{.key = key, .videoURL = QUrl::fromLocalFile(file), .wallpaper = model, .isCustom = true};
    }

    void setLockScreenFeature(bool on)
    {
        lockScreenOverride_.reset();
        lockScreenOverride_.emplace(on ? lockScreenOn_ : lockScreenOff_);
    }

    // The error the apply threw (the test fails when it threw none).
    std::exception_ptr failureOf(WallpaperApplyRequest request)
    {
        try {
            waitForTask(service_.applyWallpaper(std::move(request)));
        } catch (...) {
            return std::current_exception();
        }
        ADD_FAILURE() << "the apply did not fail";
        return nullptr;
    }

    // Runs the event loop until `done` holds; false when it never did.
    static bool waitUntil(const std::function<bool()>& done, int timeoutMs = kWaitMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        return true;
    }

    qint64 downloadCount(qint64 key) { return catalogue_.server().usage().count(key, QStringLiteral("downloads")); }
    std::optional<qint64> shownKey() const { return engine_.currentWallpaperKey(); }
    QStringList pipelineLines() const
    {
        QStringList lines;
        for (const QString& line : log_.lines()) {
            if (line.startsWith(QLatin1String("Failed to set static wallpaper")) || line.startsWith(QStringLiteral("⚠️ Failed to process lock screen")))
                lines.append(line);
        }
        return lines;
    }

    TempFolder temp_;
    LogCapture log_;
    SampleCatalogueFixture catalogue_;
    UserDefaults defaults_{QStringLiteral("apply-test"), UserDefaults::Storage::InMemory};
    UserDefaults loginWindow_{QStringLiteral("apply-login"), UserDefaults::Storage::InMemory};
    UserDefaults lockScreenDefaults_{QStringLiteral("apply-lock"), UserDefaults::Storage::InMemory};
    ManualClock clock_;
    ManualDelays delays_;
    ApplyTrace trace_;

    FakeScreens screens_{{display(QStringLiteral("Display A"), 0, 1), display(QStringLiteral("Display B"), 320, 2)}};
    Shared<Screens>::Override screensOverride_{screens_};
    TracingDesktopPicture desktop_{trace_};
    Shared<DesktopPicture>::Override desktopOverride_{desktop_};

    APIService api_{APIService::Settings::deployment(), Clock::system(), Http::shared()};
    Shared<APIService>::Override apiOverride_{api_};
    WallpaperCounterService counter_{api_};
    Shared<WallpaperCounterService>::Override counterOverride_{counter_};
    HomePageService homePage_{api_};
    AppStore store_{api_, homePage_, Delays::real()};
    Shared<AppStore>::Override storeOverride_{store_};

    WallpaperPlaylistService playlists_{defaults_, clock_};
    Shared<WallpaperPlaylistService>::Override playlistsOverride_{playlists_};
    LikedWallpapersService liked_{defaults_, playlists_, counter_};
    Shared<LikedWallpapersService>::Override likedOverride_{liked_};
    CustomWallpapersService custom_{defaults_, Paths::applicationSupport()};
    Shared<CustomWallpapersService>::Override customOverride_{custom_};

    NotificationManager toast_{delays_.delays()};
    Shared<NotificationManager>::Override toastOverride_{toast_};
    ToastRecorder toastEvents_{toast_};
    MenuBarHook hook_;
    Shared<MenuBarHook>::Override hookOverride_{hook_};

    HomeScreenWallpaperEngine engine_{screens_, defaults_};
    Shared<HomeScreenWallpaperEngine>::Override engineOverride_{engine_};
    WallpaperPersistenceService persistence_{defaults_};
    Shared<WallpaperPersistenceService>::Override persistenceOverride_{persistence_};
    StaticWallpaperService still_{loginWindow_};
    Shared<StaticWallpaperService>::Override stillOverride_{still_};
    WallpaperDownloadService downloads_;
    Shared<WallpaperDownloadService>::Override downloadsOverride_{downloads_};
    AerialsFolders folders_{temp_.file(QStringLiteral("lockscreen"))};
    Shared<AerialsFolders>::Override foldersOverride_{folders_};
    VideoConversionService conversion_{folders_};
    Shared<VideoConversionService>::Override conversionOverride_{conversion_};
    DummyExtension extension_;
    WallpaperAerialsExtensionService restarter_{extension_.name()};
    Shared<WallpaperAerialsExtensionService>::Override restarterOverride_{restarter_};
    // ESRCH: the extension had already gone, which a restart counts as done.
    int restartError_ = ESRCH;
    QString failAtStep_;
    LockScreenService lockScreenOff_{defaults_};
    LockScreenService lockScreenOn_{[this]() -> UserDefaults& {
        lockScreenDefaults_.setBool(LockScreenService::kUserDefaultsKey, true);
        return lockScreenDefaults_;
    }()};
    std::optional<Shared<LockScreenService>::Override> lockScreenOverride_;

    WallpaperApplyService service_{toast_, delays_.delays()};
    Shared<WallpaperApplyService>::Override serviceOverride_{service_};
    // Made after the apply service is installed: the recents and the rotation follow its applies.
    RecentsWallpapersService recents_{defaults_};
    Shared<RecentsWallpapersService>::Override recentsOverride_{recents_};
    ManualRotationTimer* rotationTimer_ = new ManualRotationTimer;
    PlaylistPlaybackService rotation_{defaults_, std::unique_ptr<RotationTimer>(rotationTimer_)};
    Shared<PlaylistPlaybackService>::Override rotationOverride_{rotation_};

private:
    // Counter bumps run in tasks of their own; each must have its answer before the backend
    // client goes. A bump that was started has reached the server within a few turns.
    void drainCounterRequests()
    {
        const QString path = QStringLiteral("/functions/v1/increment-wallpaper");
        const auto answered = [this] { return log_.lines().filter(QStringLiteral("[WallpaperCounterService]")).size(); };
        int settledTurns = 0;
        waitUntil([&] {
            settledTurns = answered() >= catalogue_.server().requestCount(path) ? settledTurns + 1 : 0;
            return settledTurns > 5;
        }, 10'000);
    }
};
