#pragma once

#include <QCoro/QCoroTask>
#include <QUrl>

#include <optional>

// Where a saved wallpaper's video can be downloaded from again. A saved address that is a local
// file names a download that is gone (the caches were cleared): the video comes back from the
// catalogue by its key, on the asset host of the first load. Every re-apply goes through here.
// GUI thread.
class SavedWallpaperSource {
public:
    // The saved address when it is remote, else the catalogue's master video of the key; nothing
    // when the catalogue has no asset host to offer.
    static QCoro::Task<std::optional<QUrl>> downloadAddress(qint64 key, QUrl savedUrl);
};
