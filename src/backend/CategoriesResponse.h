#pragma once

#include "backend/CategoryItem.h"

#include <QList>

class JsonReader;

// The envelope of the category list: {"categories": [...]}.
struct CategoriesResponse {
    QList<CategoryItem> categories;

    static CategoriesResponse fromJson(const JsonReader& json);
};
