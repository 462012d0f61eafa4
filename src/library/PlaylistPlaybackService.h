#pragma once

#include "engine/WallpaperApplyRequest.h"
#include "model/WallpaperPlaylist.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QUuid>

#include <memory>
#include <optional>
#include <stop_token>

class RotationTimer;
class UserDefaults;

// Plays one playlist at a time: applies its wallpapers one after the other through the apply
// pipeline, every `autoChangeIntervalSeconds` (kept within 5 minutes and a week) on a repeating
// timer, in list order or shuffled, with next, previous, pause and stop. Remembers the active
// playlist ("activePlaylistId") and the shuffle choice ("playlistShuffleEnabled") across launches
// and resumes the active playlist when created. A key is looked up among the user's own
// wallpapers first, then among the liked ones, else applied from the asset host. At most one
// apply of the rotation runs at a time: a step that comes while one runs is applied when it ends.
// A playlist that is deleted while active stops (taking the wallpaper down); one that is emptied
// deactivates (keeping it). GUI thread; one shared instance kept until exit.
class PlaylistPlaybackService : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::optional<QUuid> activePlaylistId READ activePlaylistId NOTIFY activePlaylistIdChanged)
    Q_PROPERTY(bool isPaused READ isPaused NOTIFY isPausedChanged)
    Q_PROPERTY(bool isShuffleEnabled READ isShuffleEnabled NOTIFY isShuffleEnabledChanged)
    Q_PROPERTY(bool isApplying READ isApplying NOTIFY isApplyingChanged)

public:
    static inline const QString kActivePlaylistIdKey = QStringLiteral("activePlaylistId");
    static inline const QString kShuffleEnabledKey = QStringLiteral("playlistShuffleEnabled");
    static constexpr qint64 kShortestIntervalSeconds = 300;
    static constexpr qint64 kLongestIntervalSeconds = 604'800;

    // The standard defaults store and a real timer.
    explicit PlaylistPlaybackService(QObject* parent = nullptr);
    // Restores the active playlist before returning; its first apply starts on the next turn of
    // the event loop. The playlists, liked and own wallpapers, the asset host and the apply
    // pipeline are the shared ones; an apply of that pipeline that is not the rotation's ends the
    // rotation.
    PlaylistPlaybackService(UserDefaults& defaults, std::unique_ptr<RotationTimer> timer, QObject* parent = nullptr);
    ~PlaylistPlaybackService() override;

    static PlaylistPlaybackService& shared();

    const std::optional<QUuid>& activePlaylistId() const { return activePlaylistId_; }
    bool isPaused() const { return isPaused_; }
    bool isShuffleEnabled() const { return isShuffleEnabled_; }
    // An apply of the rotation is running.
    bool isApplying() const { return applyRunning_; }
    bool isPlaylistActive(const QUuid& playlistId) const { return activePlaylistId_ == playlistId; }
    // The playlist copy the rotation works on, and its position in it.
    const std::optional<WallpaperPlaylist>& currentPlaylist() const { return currentPlaylist_; }
    qsizetype currentIndex() const { return currentIndex_; }

    // Starts `playlist` (a playlist without keys is ignored), ending any running one first.
    void startPlaylist(const WallpaperPlaylist& playlist);
    // Ends the rotation and takes the desktop wallpaper down (when a playlist was active).
    void stopPlaylist();
    void stopPlaylistIfActive(const QUuid& playlistId);
    // Ends the rotation quietly and leaves the wallpaper on screen (a wallpaper applied by hand).
    void deactivatePlaylist();
    void nextWallpaper();
    void previousWallpaper();
    // Only while a playlist is active; the new mode applies from the next step.
    void toggleShuffle();
    // Only while a playlist is active; resuming waits one whole interval.
    void togglePause();
    // Applies the wallpaper at the current index (skipped silently when its key cannot be
    // resolved to a video address).
    void applyCurrentWallpaper();

Q_SIGNALS:
    void activePlaylistIdChanged();
    void isPausedChanged();
    void isShuffleEnabledChanged();
    void isApplyingChanged();

private:
    void restoreState();
    // The settings file was read only after launch: its active playlist and shuffle are restored.
    void restoreLateState();
    void observeStores();
    void handleBaseUrlChange();
    void handlePlaylistsChange();
    // Takes the store's copy of the active playlist; deactivates when it is gone or empty.
    void refreshCurrentPlaylist();
    void startRotationTimer();
    void handleTimerTick();
    // Moves the index one step forward or back, by the shuffle rule.
    void step(int direction);
    // A manual next or previous: one step in `direction`, then apply.
    void stepAndApply(int direction);
    void saveState();
    // Ends the timer and the current copy, and cancels the running apply.
    void endRotation();
    // The apply for `key`, or nothing when it has no video address.
    std::optional<WallpaperApplyRequest> requestFor(qint64 key) const;
    static QCoro::Task<> runApply(QPointer<PlaylistPlaybackService> self, WallpaperApplyRequest request);

    void setActivePlaylistId(std::optional<QUuid> id);
    void setPaused(bool paused);
    void setApplyRunning(bool running);

    UserDefaults& defaults_;
    std::unique_ptr<RotationTimer> timer_;
    std::optional<QUuid> activePlaylistId_;
    bool isPaused_ = false;
    bool isShuffleEnabled_ = false;
    std::optional<WallpaperPlaylist> currentPlaylist_;
    qsizetype currentIndex_ = 0;

    bool applyRunning_ = false;
    // A step came while an apply ran; the current wallpaper is applied when it ends.
    bool applyPending_ = false;
    // The last attempt found no video address for its key.
    bool lastAttemptSkipped_ = false;
    // Cancels the running apply when the rotation ends.
    std::stop_source applyStop_;
    std::optional<QString> lastBaseUrl_;
};
