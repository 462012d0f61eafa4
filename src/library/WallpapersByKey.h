#pragma once

#include "model/WallpaperModel.h"

#include <QHash>

// Wallpaper records by their key, as the personal lists publish them.
using WallpapersByKey = QHash<qint64, WallpaperModel>;
