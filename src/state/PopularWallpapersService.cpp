#include "state/PopularWallpapersService.h"

#include "foundation/Shared.h"
#include "state/AssignChanged.h"

PopularWallpapersService& PopularWallpapersService::shared() { return Shared<PopularWallpapersService>::instance(); }

void PopularWallpapersService::setSelectedSort(std::optional<PopularSort> sort)
{
    if (assignChanged(selectedSort_, sort))
        Q_EMIT selectedSortChanged();
}

void PopularWallpapersService::clearMemory()
{
    loadingPages_.clear();
    if (!cacheData_.isEmpty()) {
        cacheData_.clear();
        Q_EMIT cacheDataChanged();
    }
}
