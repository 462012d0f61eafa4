#pragma once

#include "pictor/core/Image.h"

#include <QList>
#include <QUrl>

#include <optional>

namespace pictor {

// A live photo assembled from its files: the still image (decoded) and the paired movie file.
struct LivePhoto {
    Image still;
    QUrl stillFile;
    std::optional<QUrl> movieFile;

    // The first file that is not a movie (by its extension) and decodes is the still; the first
    // movie file is the movie. None without a decodable still. Decodes: call off the GUI thread.
    static std::optional<LivePhoto> fromFiles(const QList<QUrl>& files);
};

} // namespace pictor
