#include "library/EarlierLists.h"

#include "library/CustomWallpapersService.h"
#include "library/LikedWallpapersService.h"
#include "library/PersonalWallpaperList.h"
#include "library/RecentsWallpapersService.h"
#include "library/WallpaperPlaylistService.h"

QHash<QString, QString> EarlierLists::idFields()
{
    return {
        {LikedWallpapersService::kLikedWallpapersKey, PersonalWallpaperList::kIdField},
        {RecentsWallpapersService::kRecentsWallpapersKey, PersonalWallpaperList::kIdField},
        {CustomWallpapersService::kCustomWallpapersKey, PersonalWallpaperList::kIdField},
        {WallpaperPlaylistService::kPlaylistsKey, WallpaperPlaylistService::kIdField},
    };
}
