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
    // The address a record gives, or else, for a record with a key, the asset host's.
    static std::optional<QUrl> urlOr(const std::optional<QUrl>& given, std::optional<qint64> key,
        const std::optional<QString>& host, File file);
};
