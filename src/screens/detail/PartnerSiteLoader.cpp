#include "screens/detail/PartnerSiteLoader.h"

#include "backend/APIService.h"
#include "foundation/Paths.h"
#include "library/OwnVideoFacts.h"
#include "platform/Http.h"
#include "platform/MediaTools.h"
#include "screens/detail/PartnerSiteRecord.h"

#include <QFile>
#include <QNetworkRequest>
#include <QTemporaryDir>

PartnerSiteLoader::PartnerSiteLoader(APIService& api, Http& http, const MediaTools& media)
    : api_(api), http_(http), media_(media)
{
}

QCoro::Task<WallpaperModel> PartnerSiteLoader::load(QString id)
{
    const GravelnookData record = co_await api_.getGravelnookWallpaper(id);
    std::optional<QString> duration = PartnerSiteRecord::durationText(record.durationSeconds);
    std::optional<QString> resolution = record.resolution;
    if (!duration || !resolution) {
        const QUrl video(record.videoUrl, QUrl::StrictMode);
        if (!record.videoUrl.isEmpty() && video.isValid()) {
            const Facts measured = co_await probeVideoMetadata(video);
            // The partner's own texts win wherever it gave them.
            resolution = resolution ? resolution : measured.resolution;
            duration = duration ? duration : measured.duration;
        }
    }
    co_return PartnerSiteRecord::make(record, resolution, duration);
}

QCoro::Task<PartnerSiteLoader::Facts> PartnerSiteLoader::probeVideoMetadata(QUrl video)
{
    QTemporaryDir folder(Paths::temporary() + QStringLiteral("/quorvelle-partner-XXXXXX"));
    if (!folder.isValid())
        co_return Facts{};
    const QString head = folder.filePath(QStringLiteral("head.mp4"));
    try {
        QNetworkRequest request(video);
        request.setRawHeader("Range", "bytes=0-" + QByteArray::number(kProbeBytes - 1));
        // A server that ignores the range answers with the whole video: only the head is read.
        const HttpResponse response = co_await http_.download(request, head, DownloadDurability::Cache, {}, {},
            Http::kDefaultTimeoutMs, kProbeBytes);
        if (!response.isSuccess())
            co_return Facts{};
        const OwnVideoFacts facts = co_await OwnVideoFacts::read(head, media_);
        co_return Facts{facts.resolutionText(), facts.durationText()};
    } catch (const std::exception&) {
        // A video that cannot be measured leaves its facts unknown; the wallpaper still opens.
        co_return Facts{};
    }
}
