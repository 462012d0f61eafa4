#include "backend/SearchWallpaperEnvelope.h"

#include "foundation/JsonReader.h"

SearchWallpaperEnvelope SearchWallpaperEnvelope::fromJson(const JsonReader& json)
{
    SearchWallpaperEnvelope envelope;
    envelope.wallpapers = json.optional<QList<WallpaperResponseItem>>("wallpapers");
    envelope.data = json.optional<QList<WallpaperResponseItem>>("data");
    envelope.results = json.optional<QList<WallpaperResponseItem>>("results");
    return envelope;
}

QList<WallpaperResponseItem> SearchWallpaperEnvelope::items() const
{
    return wallpapers.value_or(data.value_or(results.value_or(QList<WallpaperResponseItem>())));
}
