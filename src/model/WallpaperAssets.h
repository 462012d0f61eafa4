#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// The asset host's layout: one folder per wallpaper key, "/wallpaper/<key>/", holding the
// poster, the thumbnail, the two preview videos and the master video.
class WallpaperAssets {
public:
    enum class File { Poster, Thumbnail, Preview, PreviewHd, Master };

    static QString fileName(File file);

    // "https://" + host + "/wallpaper/" + key + "/" + file name. Nothing when the host is absent
    // or empty (the application state has none yet), or when the text is not a valid URL.
    static std::optional<QUrl> url(const std::optional<QString>& host, qint64 key, File file);
};
