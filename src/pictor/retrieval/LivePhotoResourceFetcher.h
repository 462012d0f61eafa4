#pragma once

#include "pictor/networking/DownloadTask.h"
#include "pictor/cache/ImageCache.h"
#include "pictor/networking/ImageDownloader.h"
#include "pictor/retrieval/LivePhotoResource.h"
#include "pictor/retrieval/LivePhotoResourceDownloadingResult.h"

#include <QList>

#include <memory>
#include <mutex>
#include <optional>

namespace pictor {

// Fetches live-photo resources all at once (downloads, or their data providers) and stores each
// one's bytes on disk as they arrive, under the options' processor identifier and the file type's
// extension. The first failure cancels the downloads still running; the completion runs once,
// when every fetch has ended, with the results in the order of the resources or that failure.
class LivePhotoResourceFetcher : public std::enable_shared_from_this<LivePhotoResourceFetcher> {
public:
    using Completion = std::function<void(Result<QList<LivePhotoResourceDownloadingResult>, PictorError>)>;

    static std::shared_ptr<LivePhotoResourceFetcher> start(QList<LivePhotoResource> resources, PictorParsedOptionsInfo options,
                                                           std::shared_ptr<ImageDownloader> downloader, std::shared_ptr<ImageCache> cache,
                                                           Completion completion);
    // Cancels the downloads still running; they end in their cancellation failure.
    void cancel();

private:
    using Fetched = Result<LivePhotoResourceDownloadingResult, PictorError>;

    LivePhotoResourceFetcher(QList<LivePhotoResource> resources, PictorParsedOptionsInfo options, std::shared_ptr<ImageDownloader> downloader,
                             std::shared_ptr<ImageCache> cache, Completion completion);
    void fetch(qsizetype index);
    void store(qsizetype index, LivePhotoResourceDownloadingResult result);
    void finished(qsizetype index, Fetched result);

    const QList<LivePhotoResource> resources_;
    const PictorParsedOptionsInfo options_;
    const std::shared_ptr<ImageDownloader> downloader_;
    const std::shared_ptr<ImageCache> cache_;
    const Completion completion_;
    std::mutex mutex_;
    QList<std::optional<LivePhotoResourceDownloadingResult>> results_;
    QList<std::shared_ptr<DownloadTask>> tasks_;
    qsizetype remaining_;
    std::optional<PictorError> error_;
};

} // namespace pictor
