#include "state/WallpaperListQuery.h"

#include "foundation/Clock.h"

WallpaperListQuery::Kind WallpaperListQuery::kind() const
{
    if (categoryId == kResolutionId && resolutionFilter)
        return Kind::Resolution;
    if (categoryId == kLockScreenId && mode)
        return Kind::LockScreen;
    if (categoryId == kExploreSectionId && mode)
        return Kind::ExploreSection;
    return Kind::Category;
}

QString WallpaperListQuery::cacheKey() const
{
    const QString id = QString::number(categoryId);
    switch (kind()) {
    case Kind::Resolution: return id + u'_' + *resolutionFilter;
    case Kind::LockScreen:
    case Kind::ExploreSection: return id + u'_' + *mode;
    case Kind::Category: break;
    }
    return sortBy ? id + QStringLiteral("_sort_") + *sortBy : id;
}

bool WallpaperListQuery::isSeeded() const
{
    const Kind listKind = kind();
    const bool byMode = listKind == Kind::ExploreSection || listKind == Kind::LockScreen;
    return isRandom() || (byMode && mode == QLatin1String("random"));
}

qint64 WallpaperListQuery::freshSeed(const Clock& clock) { return clock.now().toSecsSinceEpoch(); }
