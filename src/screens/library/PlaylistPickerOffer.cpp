#include "screens/library/PlaylistPickerOffer.h"

#include <QSet>

QList<WallpaperModel> PlaylistPickerOffer::combined(const QList<WallpaperModel>& own, const QList<WallpaperModel>& liked)
{
    QList<WallpaperModel> offered;
    QSet<qint64> seen;
    for (const QList<WallpaperModel>* list : {&own, &liked}) {
        for (const WallpaperModel& wallpaper : *list) {
            if (wallpaper.key && !seen.contains(*wallpaper.key)) {
                seen.insert(*wallpaper.key);
                offered.append(wallpaper);
            }
        }
    }
    return offered;
}

QList<WallpaperModel> PlaylistPickerOffer::forNewPlaylist(const QList<WallpaperModel>& combined, const QList<qint64>& selected)
{
    const QSet<qint64> ticked(selected.begin(), selected.end());
    QList<WallpaperModel> first;
    QList<WallpaperModel> rest;
    for (const WallpaperModel& wallpaper : combined)
        (ticked.contains(*wallpaper.key) ? first : rest).append(wallpaper);
    return first + rest;
}

QList<WallpaperModel> PlaylistPickerOffer::forPlaylist(const QList<WallpaperModel>& combined, const QList<qint64>& playlistKeys)
{
    QHash<qint64, qsizetype> indexOfKey;
    for (qsizetype i = 0; i < combined.size(); ++i)
        indexOfKey.insert(*combined.at(i).key, i);
    QList<WallpaperModel> offered;
    QSet<qint64> listed;
    // A key the playlist holds twice is listed once: a grid cell belongs to one wallpaper.
    for (const qint64 key : playlistKeys) {
        if (indexOfKey.contains(key) && !listed.contains(key)) {
            listed.insert(key);
            offered.append(combined.at(indexOfKey.value(key)));
        }
    }
    for (const WallpaperModel& wallpaper : combined) {
        if (!listed.contains(*wallpaper.key))
            offered.append(wallpaper);
    }
    return offered;
}
