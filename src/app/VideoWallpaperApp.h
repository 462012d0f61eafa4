#pragma once

#include "app/LaunchRefusal.h"
#include "engine/WallpaperManager.h"
#include "foundation/Shared.h"
#include "state/AnalyticsSignals.h"

#include <QObject>
#include <QStringList>

#include <optional>

class AppDelegate;
class MainWindow;
class SingleInstance;
class StoredFileNotice;

// The application itself: one running copy per user (a later launch hands its links over and
// ends), the URL-scheme registration, the feed caches the memory clean-up empties, the
// application delegate with its launch sequence, the shared wallpaper manager (its analytics
// signals going through `analytics`), and the main window, made only once it shows. GUI thread;
// made once by ApplicationMain after the QApplication.
class VideoWallpaperApp : public QObject {
    Q_OBJECT
public:
    // `arguments`: the command line; its links (anything not an option) are opened.
    VideoWallpaperApp(QStringList arguments, WallpaperManager::SignalSender analytics, QObject* parent = nullptr);
    ~VideoWallpaperApp() override;

    // Links the command line gives: every argument after the program that is not an option.
    static QStringList linksIn(const QStringList& arguments);

    // Becomes the running copy (nothing), or gives the code this process ends with: 0 once the
    // running copy has this launch's links, 1 when they could not reach it or when the profile's
    // lock cannot be opened (this launch then cannot tell whether another copy runs).
    std::optional<int> claimInstance();
    // Why claimInstance() gave 1, for the user who started this launch.
    const std::optional<LaunchRefusal>& refusal() const { return refusal_; }
    // Runs the launch sequence and shows the main window (unless launched at login).
    void launch();

    // Made by launch(), once this copy holds the profile's lock.
    AppDelegate& delegate() { return *delegate_; }
    // Where a store that found its file unreadable at launch tells the user (what, kept at).
    // Made by launch().
    StoredFileNotice* storedFileNotice() const { return storedFileNotice_; }

private:
    static MainWindow* createMainWindow();
    void registerFeedCaches();
    void connectInstance();

    const QStringList arguments_;
    AnalyticsSignals analytics_;
    Shared<AnalyticsSignals>::Override analyticsOverride_{analytics_};
    WallpaperManager wallpaperManager_;
    Shared<WallpaperManager>::Override wallpaperManagerOverride_{wallpaperManager_};
    SingleInstance* instance_;
    AppDelegate* delegate_ = nullptr;
    StoredFileNotice* storedFileNotice_ = nullptr;
    std::optional<LaunchRefusal> refusal_;
};
