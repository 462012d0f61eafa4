#include "state/SavedWallpaperSource.h"

#include "model/WallpaperAssets.h"
#include "state/AppStore.h"
#include "state/AssetHost.h"

QCoro::Task<std::optional<QUrl>> SavedWallpaperSource::downloadAddress(qint64 key, QUrl savedUrl)
{
    if (!savedUrl.isLocalFile())
        co_return savedUrl;
    AppStore& store = AppStore::shared();
    // The asset host comes with the first load, which a launch has only just started.
    if (!store.baseUrl())
        co_await store.initializeIfNeeded();
    co_return WallpaperAssets::url(store.baseUrl().value_or(AssetHost::fallback()), key, WallpaperAssets::File::Master);
}
