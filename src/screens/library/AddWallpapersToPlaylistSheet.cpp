#include "screens/library/AddWallpapersToPlaylistSheet.h"

#include "library/WallpaperPlaylistService.h"
#include "screens/library/PlaylistPickerOffer.h"

namespace {
QList<qint64> withoutRepeats(const QList<qint64>& keys)
{
    QList<qint64> once;
    for (const qint64 key : keys) {
        if (!once.contains(key))
            once.append(key);
    }
    return once;
}
} // namespace

AddWallpapersToPlaylistSheet::AddWallpapersToPlaylistSheet(const WallpaperPlaylist& playlist, QWidget* parent)
    : PlaylistPickerSheet(tr("Add wallpapers to \"%1\"").arg(playlist.name), tr("Done"),
          withoutRepeats(playlist.wallpaperKeys), parent),
      playlist_(playlist), playlists_(WallpaperPlaylistService::shared())
{
    followSelection();
}

QList<WallpaperModel> AddWallpapersToPlaylistSheet::arrange(const QList<WallpaperModel>& combined) const
{
    return PlaylistPickerOffer::forPlaylist(combined, playlist_.wallpaperKeys);
}

void AddWallpapersToPlaylistSheet::confirm()
{
    if (selectedKeys().isEmpty())
        return;
    // Keys added elsewhere while the sheet was open (the full-screen view) are kept.
    if (const auto stored = playlists_.playlist(playlist_.id)) {
        QList<qint64> keys = selectedKeys();
        for (const qint64 key : stored->wallpaperKeys) {
            if (!playlist_.wallpaperKeys.contains(key) && !keys.contains(key))
                keys.append(key);
        }
        playlists_.setWallpaperKeys(keys, playlist_.id);
    }
    dismiss();
}
