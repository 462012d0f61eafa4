#pragma once

#include "engine/DesktopClaim.h"
#include "engine/ScreenEntry.h"
#include "engine/WallpaperPersistenceService.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QUrl>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class DesktopVideoWindow;
class Screens;
class UserDefaults;
struct ScreenInfo;

// The live desktop wallpaper: one looping, silent video per display, each in a desktop-level
// window of its own that covers the display and lets every click through. Entries are keyed by
// display id (ordered, so "the first entry" is the one with the lowest id) and every display's
// wallpaper is recorded through the persistence service, so launch and display changes can bring
// it back. Failures are EngineError values thrown to the caller; writes no log lines. One shared
// instance on the GUI thread, kept until exit.
class HomeScreenWallpaperEngine : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::optional<qint64> currentWallpaperKey READ currentWallpaperKey NOTIFY currentWallpaperKeyChanged)
    Q_PROPERTY(bool isPaused READ isPaused NOTIFY isPausedChanged)

public:
    // Makes the (hidden) window of a new entry; the engine places it, loads the video and shows it.
    using WindowFactory = std::function<std::unique_ptr<DesktopVideoWindow>()>;

    // The shared screens and the standard defaults store.
    explicit HomeScreenWallpaperEngine(QObject* parent = nullptr);
    // Without a factory, entries get plain desktop video windows.
    HomeScreenWallpaperEngine(Screens& screens, UserDefaults& defaults, WindowFactory makeWindow = {}, QObject* parent = nullptr);
    ~HomeScreenWallpaperEngine() override;

    static HomeScreenWallpaperEngine& shared();

    // Display identity: the id names the connected monitor; the persistence id
    // ("<persistence name>_<width>x<height>", logical pixels) names it in the saved records.
    static quint32 displayID(const ScreenInfo& screen);
    static QString displayPersistenceID(const ScreenInfo& screen);

    const std::map<quint32, ScreenEntry>& entries() const { return entries_; }
    // The key of the first entry; absent with no entries (or when it plays the shipped video).
    std::optional<qint64> currentWallpaperKey() const { return currentWallpaperKey_; }
    bool isPaused() const { return isPaused_; }
    // The number of choices made so far: every claim, start, applyToScreen, removeWallpaper and
    // stopAll (the re-applies of a display change are the engine's own and do not count).
    quint64 applyGeneration() const { return claims_; }

    // A choice begins for the displays at the given positions of the screen list (every display
    // when absent): from now on, work of an older claim no longer lands on them.
    DesktopClaim claim(const std::optional<QSet<int>>& screenIndices = std::nullopt);
    // A choice for one display.
    DesktopClaim claimDisplay(quint32 displayID);
    // Whether no newer choice claimed the display since the claim began.
    bool holds(const DesktopClaim& claim, quint32 displayID) const;
    // ...one of its attached displays (with none attached, whether it is still the newest).
    bool holdsAny(const DesktopClaim& claim) const;
    // ...each of its attached displays.
    bool holdsAll(const DesktopClaim& claim) const;

    // Plays the video on the claim's attached displays that no newer choice has claimed,
    // leaving every other display as it is; returns how many it played on (0: nothing changed).
    // Throws as start() does, before anything changes.
    int land(const QUrl& videoURL, std::optional<qint64> wallpaperKey, const DesktopClaim& claim);
    // applyToScreen for a claim: false, and nothing changed, once a newer choice claimed the display.
    bool landOnScreen(const ScreenInfo& screen, const QUrl& videoURL, qint64 wallpaperKey, const DesktopClaim& claim);

    // Plays the video on every display (replacing what they show), or only on the displays at
    // the given positions of the screen list, leaving the others as they are. Throws unknown
    // without displays and missingVideo without a playable file, both before anything changes.
    // Without a key the video plays but nothing is recorded.
    void start(const QUrl& videoURL, std::optional<qint64> wallpaperKey = std::nullopt,
               const std::optional<QSet<int>>& screenIndices = std::nullopt);
    // Replaces one display's entry with a new one playing the video, and records it. Throws
    // missingVideo (the old entry stays) without a playable file.
    void applyToScreen(const ScreenInfo& screen, quint32 displayID, const QUrl& videoURL, std::optional<qint64> wallpaperKey);
    // Drops the display's entry and its saved record.
    void removeWallpaper(quint32 displayID);
    void stopAll();
    void pause();
    void resume();
    bool isShowing(qint64 wallpaperKey) const;
    // False on a desktop that lets no application draw a live wallpaper (a Wayland compositor
    // without the layer shell): entries are still made and recorded, but without a window, and
    // the still picture is all the desktop shows.
    bool drawsLiveWallpaper() const;
    // True the first time it is asked on such a desktop, so the user is told once per run that
    // the still picture was set instead.
    bool takeStillPictureNotice();
    // What keeps the live wallpaper from being seen on this desktop (another program's picture
    // drawn over it) and what to change; nothing while it shows, or while nothing plays. Asked
    // by every apply: a video the user cannot see is never reported applied.
    std::optional<QString> coveredNotice() const;

    // After displays changed: moves windows onto their displays, brings saved wallpapers back to
    // displays without one, drops entries of displays that are gone; when none of the displays
    // that played a wallpaper is left, the wallpaper goes on every current display. Never fails.
    void handleScreenConfigurationChange();
    // Gives every display without an entry its saved wallpaper, or else the first entry's.
    // Does nothing while no display shows a wallpaper. Never fails.
    void reapplySavedPerMonitorWallpapers();

Q_SIGNALS:
    void currentWallpaperKeyChanged();
    void isPausedChanged();
    // An entry was added, replaced or dropped.
    void entriesChanged();
    // A display's player could not play its video; its window was taken off the screen.
    void playbackFailed(quint32 displayID, const QString& message);
    // A choice began (a claim): work of an older claim may have lost every display to it.
    void claimed();

private:
    // applyToScreen and stopAll without counting a caller's change.
    void checkCanStart(const QUrl& videoURL) const;
    // The newest claim on the display, whether it named it or every display.
    quint64 newestClaimOn(quint32 displayID) const;
    QList<ScreenInfo> attachedScreensOf(const DesktopClaim& claim) const;
    void showOnScreen(const ScreenInfo& screen, quint32 displayID, const QUrl& videoURL, std::optional<qint64> wallpaperKey);
    void clearEntries();
    std::unique_ptr<DesktopVideoWindow> makeDesktopWindow(const ScreenInfo& screen, quint32 displayID, const QUrl& videoURL);
    void handlePlaybackFailure(const DesktopVideoWindow* window, quint32 displayID, const QString& message);
    bool removeEntry(quint32 displayID);
    void saveMainScreenWallpaper();
    void refreshCurrentKey();
    void setPausedFlag(bool paused);
    void installSpaceChangeObserver();
    void removeSpaceChangeObserver();
    void handleActiveSpaceChange();
    void updateWindowFrames();
    void removeEntriesForDisconnectedDisplays();

    Screens& screens_;
    WallpaperPersistenceService persistence_;
    WindowFactory makeWindow_;
    std::map<quint32, ScreenEntry> entries_;
    std::optional<qint64> currentWallpaperKey_;
    bool isPaused_ = false;
    quint64 claims_ = 0;
    // The newest claim that named each display, and the newest one of every display.
    QHash<quint32, quint64> claimedDisplays_;
    quint64 claimedEverywhere_ = 0;
    QMetaObject::Connection spaceChangeObserver_;
    bool stillPictureNoticeTaken_ = false;
};
