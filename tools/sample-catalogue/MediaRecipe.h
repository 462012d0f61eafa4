#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace samplecatalogue {

// How each asset file of a wallpaper is drawn with the ffmpeg command line: a test pattern with
// the wallpaper's title and key as captions, or, for pictures meant for people, slowly moving
// colour fields without a caption. The pattern, colours and caption follow from the wallpaper,
// so every key looks different and the same key always looks the same. Pure functions,
// callable from any thread.
class MediaRecipe {
public:
    enum class Look { TestPattern, Scenery };
    enum class Asset { Poster, Thumbnail, Preview, PreviewHd, Master };
    static constexpr std::array kAssets = {Asset::Poster, Asset::Thumbnail, Asset::Preview,
                                           Asset::PreviewHd, Asset::Master};

    // What the drawing depends on, taken from the wallpaper's catalogue item.
    struct Source {
        qint64 key = 0;
        QString title;
        int width = 1920;
        int height = 1080;
        int seconds = 3;
        bool monochrome = false;
    };

    // The name under "/wallpaper/<key>/": "poster.webp", "master.mp4", ...
    static QString fileName(Asset asset);
    static std::optional<Asset> assetForFileName(const QString& name);
    static QByteArray contentType(Asset asset);

    // The ffmpeg arguments that write the asset to `output`; the container is named explicitly,
    // so output may be a temporary name.
    static QStringList arguments(const Source& source, Asset asset, const QString& output, Look look = Look::TestPattern);

    // A short digest of what the arguments draw, so that a changed recipe or catalogue entry
    // leads to a new file instead of a stale one.
    static QString fingerprint(const Source& source, Asset asset, Look look = Look::TestPattern);
};

} // namespace samplecatalogue
