#pragma once

#include <QString>

#include <optional>

class JsonReader;

// One catalogue category; wallpaper items name theirs by `id`.
struct CategoryItem {
    QString categoryName;
    qint64 id = 0;
    std::optional<qint64> wallpaperKey; // the wallpaper whose poster is the category's cover

    static CategoryItem fromJson(const JsonReader& json);
};
