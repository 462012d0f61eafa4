#include "backend/HomeSectionData.h"

#include "foundation/JsonReader.h"

HomeSectionData HomeSectionData::fromJson(const JsonReader& json)
{
    HomeSectionData section;
    section.title = json.optionalString("title");
    section.subtitle = json.optionalString("subtitle");
    section.data = WallpaperResponseItem::listFromJson(json.field("data"));
    return section;
}
