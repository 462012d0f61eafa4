#pragma once

#include <QByteArray>

#include <optional>

namespace pictor {

// Finds the small JPEG a camera embeds in a JPEG file's EXIF block (the second image directory's
// JPEGInterchangeFormat and its length). Every offset is checked against the data, so a damaged
// file gives nothing rather than a read out of bounds.
class ExifThumbnailReader {
public:
    static std::optional<QByteArray> read(const QByteArray& jpeg);

private:
    static std::optional<QByteArray> fromTiff(const QByteArray& tiff);
};

} // namespace pictor
