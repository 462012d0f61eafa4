#include "state/DeepLinkWallpaperService.h"

#include "foundation/Async.h"
#include "foundation/Shared.h"
#include "state/AssignChanged.h"

#include <QPointer>

DeepLinkWallpaperService& DeepLinkWallpaperService::shared() { return Shared<DeepLinkWallpaperService>::instance(); }

void DeepLinkWallpaperService::setPendingWallpaper(std::optional<WallpaperModel> wallpaper)
{
    if (wallpaper)
        linkOpening_ = wallpaper->key;
    postToMain([self = QPointer<DeepLinkWallpaperService>(this), wallpaper = std::move(wallpaper)] {
        if (self)
            self->setPendingWallpaperNow(wallpaper);
    });
}

void DeepLinkWallpaperService::setPendingWallpaperNow(std::optional<WallpaperModel> wallpaper)
{
    // Records are equal by their id, and each link builds a new one.
    if (assignChanged(pendingWallpaper_, std::move(wallpaper)))
        Q_EMIT pendingWallpaperChanged();
}

void DeepLinkWallpaperService::setShownWallpaper(std::optional<qint64> key)
{
    shownKey_ = key;
    if (!key)
        return;
    if (key == linkOpening_)
        linkOpening_.reset();
    else {
        ++userOpenings_;
        Q_EMIT userOpened();
    }
}
