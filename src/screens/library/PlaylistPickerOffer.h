#pragma once

#include "model/WallpaperModel.h"

#include <QList>

// Which wallpapers the playlist sheets offer, and in what order: only the user's own and liked
// wallpapers with a key (never other catalogue wallpapers), the own ones first, a wallpaper both
// own and liked once, in the own block. Pure functions.
class PlaylistPickerOffer {
public:
    static QList<WallpaperModel> combined(const QList<WallpaperModel>& own, const QList<WallpaperModel>& liked);
    // A new playlist's picker: the ticked wallpapers first, then the others, each block in
    // combined order.
    static QList<WallpaperModel> forNewPlaylist(const QList<WallpaperModel>& combined, const QList<qint64>& selected);
    // An existing playlist's sheet: its wallpapers first in its order (each once), then the others.
    static QList<WallpaperModel> forPlaylist(const QList<WallpaperModel>& combined, const QList<qint64>& playlistKeys);
};
