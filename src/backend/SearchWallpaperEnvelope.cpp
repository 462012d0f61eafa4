#include "backend/SearchWallpaperEnvelope.h"

#include "foundation/JsonReader.h"

SearchWallpaperEnvelope SearchWallpaperEnvelope::fromJson(const JsonReader& json)
{
    SearchWallpaperEnvelope envelope;
    const auto list = [&](QAnyStringView key) -> std::optional<QList<WallpaperResponseItem>> {
        if (const auto field = json.optionalField(key))
            return WallpaperResponseItem::listFromJson(*field);
        return std::nullopt;
    };
    envelope.wallpapers = list(u"wallpapers");
    envelope.data = list(u"data");
    envelope.results = list(u"results");
    return envelope;
}

QList<WallpaperResponseItem> SearchWallpaperEnvelope::items() const
{
    return wallpapers.value_or(data.value_or(results.value_or(QList<WallpaperResponseItem>())));
}
