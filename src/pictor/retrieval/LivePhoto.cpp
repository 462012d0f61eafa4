#include "pictor/retrieval/LivePhoto.h"

#include "pictor/processing/ImageCoding.h"

#include <QFile>
#include <QFileInfo>

namespace pictor {

namespace {

bool isMovie(const QUrl& file)
{
    static const QStringList movies{QStringLiteral("mov"), QStringLiteral("qt"), QStringLiteral("mp4"), QStringLiteral("m4v")};
    return movies.contains(QFileInfo(file.toLocalFile()).suffix().toLower());
}

} // namespace

std::optional<LivePhoto> LivePhoto::fromFiles(const QList<QUrl>& files)
{
    std::optional<LivePhoto> photo;
    std::optional<QUrl> movie;
    for (const QUrl& file : files) {
        if (isMovie(file)) {
            movie = movie.value_or(file);
            continue;
        }
        if (photo)
            continue;
        QFile reader(file.toLocalFile());
        if (!reader.open(QIODevice::ReadOnly))
            continue;
        if (const std::optional<Image> still = pt::image(reader.readAll(), ImageCreatingOptions {.scale = 1.0, .duration = 0.0, .preloadAll = false, .onlyFirstFrame = true}))
            photo = LivePhoto {*still, file, std::nullopt};
    }
    if (photo)
        photo->movieFile = movie;
    return photo;
}

} // namespace pictor
