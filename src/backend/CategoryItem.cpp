#include "backend/CategoryItem.h"

#include "foundation/JsonReader.h"

CategoryItem CategoryItem::fromJson(const JsonReader& json)
{
    CategoryItem category;
    category.categoryName = json.requiredString("category_name");
    category.id = json.requiredInt64("id");
    category.wallpaperKey = json.optionalInt64("wallpaper_key");
    return category;
}
