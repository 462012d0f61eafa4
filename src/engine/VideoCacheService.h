#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

// Keeps the short preview videos that the browse screens, the poster cards and the full-screen
// view play: each remote preview maps to one file in "videos/preview" or, for high-definition
// previews, "videos/previewhd" of the application's Caches folder, fetched once and then played
// from disk. Lives on the GUI thread; one shared instance.
class VideoCacheService : public QObject {
    Q_OBJECT

public:
    using ProgressHandler = std::function<void(double fraction)>;

    // Creates the preview folders when missing.
    explicit VideoCacheService(QObject* parent = nullptr);

    static VideoCacheService& shared();

    static QString previewFolder();
    static QString hdPreviewFolder();

    // The folder of a remote preview: the high-definition one for "previewhd.mp4" (any case),
    // the normal one for every other address.
    QString cacheSubdirectory(const QUrl& url) const;
    // "<key>.mp4", or without a key a name made from a stable hash of the address, so the same
    // address finds its file again after a restart.
    QString cacheFileName(const QUrl& url, std::optional<qint64> key) const;

    // The local file when it is on disk; never downloads.
    std::optional<QUrl> cachedPreviewVideoUrl(const QUrl& url, std::optional<qint64> key) const;
    std::optional<QUrl> cachedHDPreviewUrl(qint64 key) const;

    // The local file URL of the preview, fetched in a transfer of its own unless it is on disk
    // (then `progress`, when given, is told 1.0 once). Throws HttpError when the transfer fails,
    // VideoCacheError for a non-2xx reply or a file that cannot be written.
    QCoro::Task<QUrl> cachePreviewVideo(QUrl url, std::optional<qint64> key, ProgressHandler progress = {});

    // Empties both preview folders; the folders stay.
    void clearCache();
    // Bytes of the files directly inside both preview folders; reads only, safe from any thread.
    qint64 cacheSizeInBytes() const;

private:
    QString destination(const QUrl& url, std::optional<qint64> key) const;
};
