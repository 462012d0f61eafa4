#pragma once

#include "pictor/core/CallbackQueue.h"
#include "pictor/retrieval/ImageDataProvider.h"

namespace pictor {

// The bytes of a local file, read where the loading queue says (by default on a shared
// background queue). The key is by default the file's local-file cache key.
class LocalFileImageDataProvider : public ImageDataProvider {
public:
    explicit LocalFileImageDataProvider(QUrl fileURL, const std::optional<QString>& cacheKey = std::nullopt,
                                        CallbackQueue loadingQueue = defaultLoadingQueue());

    const QUrl& fileURL() const { return fileURL_; }
    const CallbackQueue& loadingQueue() const { return loadingQueue_; }
    QString cacheKey() const override { return cacheKey_; }
    void setCacheKey(QString key) { cacheKey_ = std::move(key); }

    void data(Handler handler) const override;
    std::optional<QUrl> contentURL() const override { return fileURL_; }
    QString description() const override;

    static CallbackQueue defaultLoadingQueue();

private:
    QUrl fileURL_;
    QString cacheKey_;
    CallbackQueue loadingQueue_;
};

} // namespace pictor
