#include "screens/detail/PreviewSourceChain.h"

#include "engine/VideoCacheService.h"
#include "engine/WallpaperDownloadService.h"
#include "foundation/Async.h"
#include "model/WallpaperAssets.h"
#include "state/AppStore.h"

#include <QFile>
#include <QPointer>

namespace {
// The next visit finds the file; a failed download only means it streams again then.
QCoro::Task<> cacheQuietly(QUrl url, qint64 key)
{
    try {
        co_await VideoCacheService::shared().cachePreviewVideo(url, key);
    } catch (...) {
    }
}
} // namespace

PreviewSourceChain::PreviewSourceChain(const WallpaperModel& wallpaper, bool isCustom, Check check, QObject* parent)
    : QObject(parent), wallpaper_(wallpaper), isCustom_(isCustom), check_(std::move(check))
{
}

std::optional<QUrl> PreviewSourceChain::previewUrl() const
{
    return WallpaperAssets::urlOr(wallpaper_.previewhdUrl, wallpaper_.key, AppStore::shared().baseUrl(), WallpaperAssets::File::PreviewHd);
}

void PreviewSourceChain::loadVideo()
{
    ++generation_;
    setLoading(true);
    const std::optional<QUrl> preview = previewUrl();
    if (!preview) {
        setLoading(false);
        return;
    }
    if (isCustom_) {
        validate(*preview, {});
        return;
    }
    if (wallpaper_.key) {
        if (const std::optional<QUrl> master = WallpaperDownloadService::shared().cachedFileUrl(*wallpaper_.key)) {
            validate(*master, [this, url = *preview] { loadRemotePreview(url); });
            return;
        }
    }
    loadRemotePreview(*preview);
}

void PreviewSourceChain::handleBaseUrlChange()
{
    if (!isCustom_ && !isVideoReady_ && !wallpaper_.previewhdUrl && previewUrl())
        loadVideo();
}

void PreviewSourceChain::loadRemotePreview(const QUrl& url)
{
    if (!wallpaper_.key) {
        playRemotePreview(url);
        return;
    }
    const VideoCacheService& cache = VideoCacheService::shared();
    std::optional<QUrl> cached = cache.cachedHDPreviewUrl(*wallpaper_.key);
    if (!cached)
        cached = cache.cachedPreviewVideoUrl(url, wallpaper_.key);
    if (cached) {
        validate(*cached, [this, url, broken = *cached] {
            // Else the background download would find the broken file and keep it for good.
            QFile::remove(broken.toLocalFile());
            fallBackToRemotePreview(url);
        });
        return;
    }
    playRemotePreview(url);
    cachePreviewInBackground(url, *wallpaper_.key);
}

void PreviewSourceChain::fallBackToRemotePreview(const QUrl& url)
{
    playRemotePreview(url);
    if (wallpaper_.key)
        cachePreviewInBackground(url, *wallpaper_.key);
}

void PreviewSourceChain::playRemotePreview(const QUrl& url)
{
    validate(url, {});
}

void PreviewSourceChain::validate(const QUrl& url, std::function<void()> fallback)
{
    videoUrl_ = url;
    Q_EMIT stateChanged();
    const QPointer<PreviewSourceChain> self(this);
    const quint64 generation = generation_;
    check_(url, [self, generation, fallback = std::move(fallback)](bool playable) {
        // A newer load owns the state now.
        if (!self || generation != self->generation_)
            return;
        if (playable) {
            self->isLoading_ = false;
            self->isVideoReady_ = true;
            Q_EMIT self->stateChanged();
        } else if (fallback) {
            fallback();
        } else {
            self->setLoading(false);
        }
    });
}

void PreviewSourceChain::cachePreviewInBackground(const QUrl& url, qint64 key)
{
    fireAndForget(cacheQuietly(url, key), QStringLiteral("FullScreenView"));
}

void PreviewSourceChain::setLoading(bool loading)
{
    if (loading == isLoading_)
        return;
    isLoading_ = loading;
    Q_EMIT stateChanged();
}
