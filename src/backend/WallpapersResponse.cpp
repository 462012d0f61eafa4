#include "backend/WallpapersResponse.h"

#include "foundation/JsonReader.h"

WallpapersResponse WallpapersResponse::fromJson(const JsonReader& json)
{
    return WallpapersResponse{WallpaperResponseItem::listFromJson(json.field("wallpapers"))};
}

QList<WallpaperResponseItem> WallpapersResponse::listFromReply(const QByteArray& reply)
{
    const JsonReader json = JsonReader::parse(reply);
    try {
        return fromJson(json).wallpapers;
    } catch (const JsonError&) {
        return WallpaperResponseItem::listFromJson(json);
    }
}
