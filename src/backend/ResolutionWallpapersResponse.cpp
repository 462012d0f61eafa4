#include "backend/ResolutionWallpapersResponse.h"

#include "foundation/JsonReader.h"

ResolutionWallpapersResponse ResolutionWallpapersResponse::fromJson(const JsonReader& json)
{
    ResolutionWallpapersResponse response;
    response.wallpapers = json.required<QList<WallpaperResponseItem>>("wallpapers");
    response.pagination = json.required<ResolutionPagination>("pagination");
    return response;
}
