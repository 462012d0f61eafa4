#include "pictor/retrieval/LocalFileImageDataProvider.h"

#include "pictor/retrieval/Resource.h"

#include <QFile>

namespace pictor {

LocalFileImageDataProvider::LocalFileImageDataProvider(QUrl fileURL, const std::optional<QString>& cacheKey, CallbackQueue loadingQueue)
    : fileURL_(std::move(fileURL)), cacheKey_(cacheKey ? *cacheKey : localFileCacheKey(fileURL_)), loadingQueue_(std::move(loadingQueue))
{
}

void LocalFileImageDataProvider::data(Handler handler) const
{
    loadingQueue_.execute([url = fileURL_, handler = std::move(handler)] {
        QFile file(url.toLocalFile());
        if (!url.isLocalFile() || !file.open(QIODevice::ReadOnly))
            return handler(DataResult::failure({ImageDataProviderError::Reason::fileReadFailed,
                                                QStringLiteral("%1: %2").arg(url.toString(), file.errorString())}));
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return handler(DataResult::failure({ImageDataProviderError::Reason::fileReadFailed,
                                                QStringLiteral("%1: %2").arg(url.toString(), file.errorString())}));
        handler(DataResult::success(std::move(bytes)));
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
