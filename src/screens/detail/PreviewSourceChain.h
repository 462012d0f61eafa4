#pragma once

#include "model/WallpaperModel.h"

#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

// Picks the video the full-screen view plays over the poster: the master video an earlier apply
// downloaded, else the cached HD preview, else the cached preview, else the remote preview
// streamed at once (and cached in the background for the next visit). Each candidate is checked
// by playing it; a broken cached preview is deleted and the remote preview streamed (and cached
// anew), a broken master falls back to the chain that starts with the cached HD preview. Only the newest load writes state: results of
// checks begun by an earlier load are dropped. GUI thread; owned by the view.
class PreviewSourceChain : public QObject {
    Q_OBJECT

public:
    // Plays `url` and calls `done` once with whether it could be played.
    using Check = std::function<void(const QUrl& url, std::function<void(bool playable)> done)>;

    PreviewSourceChain(const WallpaperModel& wallpaper, bool isCustom, Check check, QObject* parent = nullptr);

    // The record's HD preview, or the asset host's for its key; none without either.
    std::optional<QUrl> previewUrl() const;

    void loadVideo();
    // The asset host arrived: a record that had no preview address gets its first try now.
    void handleBaseUrlChange();

    bool isLoading() const { return isLoading_; }
    bool isVideoReady() const { return isVideoReady_; }
    // The candidate being checked, then the one playing.
    const QUrl& videoUrl() const { return videoUrl_; }

Q_SIGNALS:
    void stateChanged();

private:
    void loadRemotePreview(const QUrl& url);
    void fallBackToRemotePreview(const QUrl& url);
    void playRemotePreview(const QUrl& url);
    // A check whose failure runs `fallback`; without one a failure ends the load.
    void validate(const QUrl& url, std::function<void()> fallback);
    void cachePreviewInBackground(const QUrl& url, qint64 key);
    void setLoading(bool loading);

    const WallpaperModel wallpaper_;
    const bool isCustom_;
    const Check check_;
    quint64 generation_ = 0;
    bool isLoading_ = false;
    bool isVideoReady_ = false;
    QUrl videoUrl_;
};
