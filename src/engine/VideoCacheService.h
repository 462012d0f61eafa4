#pragma once

#include <QCoro/QCoroTask>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

class SingleFlight;

// Keeps the short preview videos that the browse screens, the poster cards and the full-screen
// view play: each remote preview maps to one file in "videos/preview" or, for high-definition
// previews, "videos/previewhd" of the application's Caches folder, fetched once and then played
// from disk. A preview is stored only once it is a video that plays to its end (a reply cut after
// its header is refused), with its size recorded beside it; a file without a record, or whose
// size no longer matches it (cut short, kept by an earlier version), is fetched again. One
// transfer per file: callers that ask while it runs wait for it and share its outcome. Lives on
// the GUI thread; one shared instance.
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

    // The local file when it is on disk and whole; never downloads.
    std::optional<QUrl> cachedPreviewVideoUrl(const QUrl& url, std::optional<qint64> key) const;
    std::optional<QUrl> cachedHDPreviewUrl(qint64 key) const;

    // The local file URL of the preview, fetched unless it is on disk and whole (then `progress`,
    // when given, is told 1.0 once); joins a transfer of the same file already running. Throws
    // HttpError when the transfer fails, VideoCacheError for a non-2xx reply, a reply that holds
    // no video or a file that cannot be written.
    QCoro::Task<QUrl> cachePreviewVideo(QUrl url, std::optional<qint64> key, ProgressHandler progress = {});

    // Empties both preview folders; the folders stay. Views playing a stored preview hear of it
    // through cacheCleared(). Returns how many entries could not be removed.
    int clearCache();
    // Bytes of the files directly inside both preview folders; reads only, safe from any thread.
    qint64 cacheSizeInBytes() const;

Q_SIGNALS:
    void cacheCleared();

private:
    // One transfer of one file and the callers waiting for it. Each run has its own: a caller
    // that arrives once a run has ended starts the next, and never touches the outcome the
    // waiters of the earlier run are about to read.
    struct Flight {
        explicit Flight(QObject* owner);
        ~Flight();
        Flight(const Flight&) = delete;
        Flight& operator=(const Flight&) = delete;

        QPointer<SingleFlight> gate;
        QList<ProgressHandler> listeners;
        std::exception_ptr failure;
    };

    QString destination(const QUrl& url, std::optional<qint64> key) const;
    static std::optional<QUrl> wholeFile(const QString& path);
    // The one transfer of `path`; records its failure in `flight` instead of throwing, and lets a
    // later caller start afresh.
    QCoro::Task<> fetchInto(QUrl url, QString path, std::shared_ptr<Flight> flight);

    QHash<QString, std::shared_ptr<Flight>> flights_;
};
