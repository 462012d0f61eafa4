#include "backend/WallpaperCounterService.h"

#include "backend/APIService.h"
#include "foundation/AppError.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "model/PartnerSiteKey.h"

namespace {
void log(const QString& emoji, const QString& message)
{
    logLine(emoji, QStringLiteral("WallpaperCounterService"), message);
}
} // namespace

WallpaperCounterService::WallpaperCounterService(QObject* parent) : QObject(parent), api_(nullptr) {}

WallpaperCounterService::WallpaperCounterService(APIService& api, QObject* parent) : QObject(parent), api_(&api) {}

APIService& WallpaperCounterService::api() const { return api_ ? *api_ : APIService::shared(); }

WallpaperCounterService& WallpaperCounterService::shared() { return Shared<WallpaperCounterService>::instance(); }

QCoro::Task<> WallpaperCounterService::incrementDownloads(qint64 key) { return incrementCounter(key, true); }

QCoro::Task<> WallpaperCounterService::incrementLikes(qint64 key) { return incrementCounter(key, false); }

QCoro::Task<> WallpaperCounterService::incrementCounter(qint64 key, bool isDownload)
{
    // The catalogue counts only its own wallpapers; a partner's number would bump another one.
    if (PartnerSiteKey::isPartnerKey(key))
        co_return;
    const QString kind = isDownload ? QStringLiteral("downloads") : QStringLiteral("likes");
    APIService& api = this->api();
    const auto url = api.endpointURL(QStringLiteral("increment-wallpaper"),
        {{QStringLiteral("key"), QString::number(key)}, {QStringLiteral("type"), kind}});
    if (!url) {
        log(QStringLiteral("❌"), QStringLiteral("Invalid URL for increment-wallpaper"));
        co_return;
    }
    try {
        co_await api.request(*url, "GET");
    } catch (const std::exception& error) {
        log(QStringLiteral("❌"), QStringLiteral("Failed to increment counter: ") + describeError(error));
        co_return;
    }
    log(QStringLiteral("✅"), QStringLiteral("Successfully incremented %1 counter for wallpaper %2").arg(kind).arg(key));
}
