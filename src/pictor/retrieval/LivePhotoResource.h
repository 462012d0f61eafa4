#pragma once

#include "pictor/retrieval/Resource.h"
#include "pictor/retrieval/Source.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace pictor {

// One file of a live photo (its still image or its movie): where its bytes come from, whose key
// names the file in the disk cache, and the type the file is stored as.
class LivePhotoResource {
public:
    struct FileType {
        enum class Kind { heic, mov, other };
        Kind kind = Kind::other;
        // The extension of an other file, lower case; empty when unknown.
        QString extension;

        static FileType heic() { return {Kind::heic, QString()}; }
        static FileType mov() { return {Kind::mov, QString()}; }
        static FileType other(QString extension) { return {Kind::other, std::move(extension)}; }
        // From the URL's extension, case-insensitively.
        static FileType of(const QUrl& url);
        bool operator==(const FileType& other) const;

        // The extension fetched bytes are stored under: the type's own, else for an unknown
        // type the brand of an ISO media "ftyp" box (heic, or qt for a movie), else none.
        std::optional<QString> determinedFileExtension(const QByteArray& data) const;
    };

    LivePhotoResource(const QUrl& downloadURL, const std::optional<QString>& cacheKey = std::nullopt,
                      const std::optional<FileType>& fileType = std::nullopt);
    LivePhotoResource(std::shared_ptr<const Resource> resource, const std::optional<FileType>& fileType = std::nullopt);
    LivePhotoResource(Source source, const std::optional<FileType>& fileType = std::nullopt);

    const Source& dataSource() const { return dataSource_; }
    const FileType& referenceFileType() const { return referenceFileType_; }

private:
    Source dataSource_;
    FileType referenceFileType_;
};

} // namespace pictor
