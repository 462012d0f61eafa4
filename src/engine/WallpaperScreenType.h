#pragma once

#include <QString>

#include <optional>

// Where a saved wallpaper was applied. Stored by its raw value; the desktop is the only place.
enum class WallpaperScreenType { homeScreen };

inline QString rawValue(WallpaperScreenType type)
{
    switch (type) {
    case WallpaperScreenType::homeScreen:
        break;
    }
    return QStringLiteral("homeScreen");
}

// Nothing for any text that names no screen type.
inline std::optional<WallpaperScreenType> wallpaperScreenType(const QString& raw)
{
    if (raw == rawValue(WallpaperScreenType::homeScreen))
        return WallpaperScreenType::homeScreen;
    return std::nullopt;
}
