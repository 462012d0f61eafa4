#include "engine/VideoDownload.h"

#include "platform/Http.h"

#include <QNetworkRequest>

QCoro::Task<HttpResponse> VideoDownload::run(QUrl url, QString destinationPath, ProgressHandler progress)
{
    const HttpProgress report = [progress = std::move(progress)](qint64 done, qint64 total) {
        if (progress && total > 0)
            progress(static_cast<double>(done) / static_cast<double>(total));
    };
    const QNetworkRequest request(url);
    co_return co_await Http::shared().download(request, destinationPath, report);
}
