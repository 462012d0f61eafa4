#include "backend/ResolutionWallpapersResponse.h"

#include "foundation/JsonReader.h"

ResolutionWallpapersResponse ResolutionWallpapersResponse::fromJson(const JsonReader& json)
{
    ResolutionWallpapersResponse response;
    response.wallpapers = WallpaperResponseItem::listFromJson(json.field("wallpapers"));
    response.pagination = json.required<ResolutionPagination>("pagination");
    return response;
}
