#pragma once

#include "engine/WallpaperDownloadService.h"

#include <QCoro/QCoroTask>
#include <QUrl>

#include <functional>
#include <optional>

// The one step every road of applying takes to get a wallpaper's video onto the disk: the
// main window's and the rotation's apply, the tray's apply of a recent, the tray's re-apply and
// the launch's re-apply. A file on disk is used only when it passes one rule: whole (its
// recorded size, when it has one) and a video that plays. A cached master that fails is removed
// and fetched again; the user's own file cannot be fetched, so its failure is an error. A fresh
// download is checked by the download service before it is stored. GUI thread; no state.
class LocalVideoResolver {
public:
    struct Source {
        qint64 key = 0;
        // The master on the asset host, or a local file (an own video, or the cached master a
        // previous apply saved).
        QUrl address;
        // One of the user's own videos: its file is the only source.
        bool isCustom = false;
        // The master's size as its record states it, if it does: a download past it fails.
        std::optional<QString> statedSize = std::nullopt;
    };
    // What the caller shows on the way; any may be empty.
    struct Report {
        // A file on disk is being checked (once, before the probe, which takes a moment).
        std::function<void()> checking;
        std::function<void()> downloading;
        WallpaperDownloadService::ProgressHandler progress;
        std::function<void()> downloaded;
    };

    // The local video: found on disk, else downloaded. Throws EngineError (missing video) or
    // DownloadError.
    static QCoro::Task<QUrl> resolve(Source source, Report report);
    // The file on disk that passes the rule: the address when it is a local file, else the
    // key's cached master; nothing when neither is there (or a failing cached master was just
    // removed). Throws EngineError (missing video) for an own video that is gone, and for any
    // local file that fails the rule and is no cached master. `checking` is called before the
    // first file on disk is probed.
    static QCoro::Task<std::optional<QUrl>> find(Source source, std::function<void()> checking = {});
    // The key's master, downloaded from the address when it is remote, else from the
    // catalogue by its key (the cache was cleared since). Throws EngineError (missing video)
    // for an own video or when no address is known, or DownloadError.
    static QCoro::Task<QUrl> fetch(Source source, WallpaperDownloadService::ProgressHandler progress);

private:
    // True when the file passes the rule; a failing cached master is removed.
    static QCoro::Task<bool> passes(QString path);
};
