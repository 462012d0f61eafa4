#include "pictor/retrieval/LivePhotoResource.h"

#include "pictor/retrieval/ImageResource.h"

#include <QFileInfo>

namespace pictor {

LivePhotoResource::FileType LivePhotoResource::FileType::of(const QUrl& url)
{
    const QString extension = QFileInfo(url.path()).suffix().toLower();
    if (extension == QLatin1String("mov"))
        return mov();
    if (extension == QLatin1String("heic"))
        return heic();
    return other(extension);
}

bool LivePhotoResource::FileType::operator==(const FileType& other) const
{
    return kind == other.kind && (kind != Kind::other || extension == other.extension);
}

std::optional<QString> LivePhotoResource::FileType::determinedFileExtension(const QByteArray& data) const
{
    switch (kind) {
    case Kind::heic:
        return QStringLiteral("heic");
    case Kind::mov:
        return QStringLiteral("mov");
    case Kind::other:
        break;
    }
    if (!extension.isEmpty())
        return extension;
    if (data.size() < 12 || data.mid(4, 4) != "ftyp")
        return std::nullopt;
    const QByteArray brand = data.mid(8, 4);
    if (brand == "heic")
        return QStringLiteral("heic");
    if (brand == "qt  ")
        return QStringLiteral("mov");
    return std::nullopt;
}

LivePhotoResource::LivePhotoResource(const QUrl& downloadURL, const std::optional<QString>& cacheKey, const std::optional<FileType>& fileType)
    : dataSource_(Source::network(std::make_shared<ImageResource>(downloadURL, cacheKey))),
      referenceFileType_(fileType.value_or(FileType::of(downloadURL)))
{
}

LivePhotoResource::LivePhotoResource(std::shared_ptr<const Resource> resource, const std::optional<FileType>& fileType)
    : dataSource_(Source::network(resource)), referenceFileType_(fileType.value_or(FileType::of(resource->downloadURL())))
{
}

LivePhotoResource::LivePhotoResource(Source source, const std::optional<FileType>& fileType)
    : dataSource_(std::move(source))
{
    const std::optional<QUrl> url = dataSource_.url();
    referenceFileType_ = fileType.value_or(url ? FileType::of(*url) : FileType::other(QString()));
}

} // namespace pictor
