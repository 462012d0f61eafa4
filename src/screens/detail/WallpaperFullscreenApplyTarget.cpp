#include "screens/detail/WallpaperFullscreenApplyTarget.h"

namespace WallpaperFullscreenApplyTargets {

QList<WallpaperFullscreenApplyTarget> all()
{
    return {WallpaperFullscreenApplyTarget::both, WallpaperFullscreenApplyTarget::desktop, WallpaperFullscreenApplyTarget::lockScreen};
}

QString rawValue(WallpaperFullscreenApplyTarget target)
{
    switch (target) {
    case WallpaperFullscreenApplyTarget::both:
        return QStringLiteral("both");
    case WallpaperFullscreenApplyTarget::desktop:
        return QStringLiteral("desktop");
    case WallpaperFullscreenApplyTarget::lockScreen:
        return QStringLiteral("lockScreen");
    }
    return {};
}

} // namespace WallpaperFullscreenApplyTargets
