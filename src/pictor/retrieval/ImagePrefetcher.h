#pragma once

#include "pictor/core/DispatchQueue.h"
#include "pictor/networking/DownloadTask.h"
#include "pictor/retrieval/PictorManager.h"
#include "pictor/retrieval/Source.h"

#include <QHash>
#include <QList>

#include <functional>
#include <memory>
#include <mutex>

namespace pictor {

// Loads a list of images into the cache ahead of display, a bounded number at a time, skipping
// what the cache holds. Every source ends up counted once as skipped, failed or completed;
// progress and the one completion report arrive on the GUI thread. stop() cancels the downloads
// in flight, starts nothing more and counts the sources not started as failed.
class ImagePrefetcher : public std::enable_shared_from_this<ImagePrefetcher> {
public:
    using ResourceList = QList<std::shared_ptr<const Resource>>;
    // Skipped, failed, completed: only the network sources' resources.
    using ResourceBlock = std::function<void(ResourceList skipped, ResourceList failed, ResourceList completed)>;
    using SourceBlock = std::function<void(QList<Source> skipped, QList<Source> failed, QList<Source> completed)>;
    using OptionList = PictorManager::OptionList;

    static std::shared_ptr<ImagePrefetcher> create(const QList<QUrl>& urls, const OptionList& options = std::nullopt,
                                                   ResourceBlock progressBlock = {}, ResourceBlock completionHandler = {});
    static std::shared_ptr<ImagePrefetcher> create(const ResourceList& resources, const OptionList& options = std::nullopt,
                                                   ResourceBlock progressBlock = {}, ResourceBlock completionHandler = {});
    static std::shared_ptr<ImagePrefetcher> create(QList<Source> sources, const OptionList& options = std::nullopt,
                                                   SourceBlock progressBlock = {}, SourceBlock completionHandler = {});

    // How many sources are in flight at once (5 at first); read when start() runs.
    int maxConcurrentDownloads() const;
    void setMaxConcurrentDownloads(int count);
    // Every source counted and nothing in flight.
    bool finished() const;
    const std::shared_ptr<PictorManager>& manager() const { return manager_; }
    // "0x..." of the object, for logs.
    QString description() const;

    void start();
    void stop();

private:
    struct Counts {
        QList<Source> skipped, failed, completed;
    };

    ImagePrefetcher(QList<Source> sources, const OptionList& options);
    Counts countsLocked() const;
    bool finishedLocked() const;
    void startStep();
    void stopStep();
    void startPrefetching(qsizetype index);
    void downloadAndCache(qsizetype index);
    void downloaded(qsizetype index, bool succeeded);
    void reportProgress();
    void reportCompletionOrStartNext();
    void completeIfStoppedAndIdle();
    void reportCompletion();

    const QList<Source> sources_;
    const std::shared_ptr<DispatchQueue> prefetchQueue_;
    PictorParsedOptionsInfo options_;
    std::shared_ptr<PictorManager> manager_;
    ResourceBlock progressBlock_;
    ResourceBlock completionHandler_;
    SourceBlock progressSourceBlock_;
    SourceBlock completionSourceHandler_;

    // Touched on the prefetch queue; the lock lets finished() and the count be read from outside.
    mutable std::mutex mutex_;
    int maxConcurrentDownloads_ = 5;
    // Keyed by the source's index, so sources sharing a key are tracked apart; a null task is a
    // data-provider load or a disk-to-memory read, which cannot be cancelled.
    QHash<qsizetype, std::shared_ptr<DownloadTask>> inFlight_;
    QList<qsizetype> pending_;
    QList<qsizetype> skipped_;
    QList<qsizetype> failed_;
    QList<qsizetype> completed_;
    bool stopped_ = false;
    bool reported_ = false;
};

} // namespace pictor
