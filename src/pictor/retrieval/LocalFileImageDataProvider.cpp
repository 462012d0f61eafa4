#include "pictor/retrieval/LocalFileImageDataProvider.h"

#include "pictor/retrieval/LocalImageFile.h"
#include "pictor/retrieval/Resource.h"

namespace pictor {

LocalFileImageDataProvider::LocalFileImageDataProvider(QUrl fileURL, const std::optional<QString>& cacheKey, CallbackQueue loadingQueue)
    : fileURL_(std::move(fileURL)), cacheKey_(cacheKey ? *cacheKey : localFileCacheKey(fileURL_)), loadingQueue_(std::move(loadingQueue))
{
}

void LocalFileImageDataProvider::data(Handler handler) const
{
    loadingQueue_.execute([url = fileURL_, handler = std::move(handler)] {
        if (!url.isLocalFile())
            return handler(DataResult::failure({ImageDataProviderError::Reason::fileReadFailed,
                                                QStringLiteral("%1: not a local file").arg(url.toString())}));
        Result<QByteArray, QString> bytes = LocalImageFile::read(url.toLocalFile());
        if (bytes.isFailure())
            return handler(DataResult::failure({ImageDataProviderError::Reason::fileReadFailed, bytes.error()}));
        handler(DataResult::success(std::move(bytes).value()));
    });
}

QString LocalFileImageDataProvider::description() const
{
    return QStringLiteral("LocalFileImageDataProvider(%1)").arg(fileURL_.toString());
}

CallbackQueue LocalFileImageDataProvider::defaultLoadingQueue()
{
    static const CallbackQueue queue = CallbackQueue::dispatch(DispatchQueue::create(QStringLiteral("com.quillmoth.Pictor.LocalFileImageDataProvider.loadingQueue")));
    return queue;
}

} // namespace pictor
