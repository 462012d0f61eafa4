#include "pictor/networking/ImageDownloaderDelegate.h"

#include "pictor/networking/SessionDataTask.h"

namespace pictor {

std::optional<QByteArray> ImageDownloaderDelegate::didDownloadTaskData(ImageDownloader& downloader, const QByteArray& data,
                                                                       SessionDataTask& task)
{
    if (task.originalURL().isEmpty())
        return data;
    return didDownloadData(downloader, data, task.originalURL());
}

} // namespace pictor
