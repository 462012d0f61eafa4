#include "backend/CategoriesResponse.h"

#include "foundation/JsonReader.h"

CategoriesResponse CategoriesResponse::fromJson(const JsonReader& json)
{
    return CategoriesResponse{json.required<QList<CategoryItem>>("categories")};
}
