#pragma once

#include "pictor/retrieval/ImageDataProvider.h"

namespace pictor {

// A smaller copy of a local image file, at most maxPixelSize pixels on its longer side (never
// enlarged), turned upright by its EXIF orientation and encoded in the file's own format (PNG
// when that format cannot be written). Made from the whole picture with alwaysCreateThumbnail,
// else only from the thumbnail a JPEG file carries in its EXIF block (a file without one has no
// thumbnail). A picture above the still decoder's cap (ImageDecoder::maxPixels) is refused before
// any of it is decoded. Made on the shared thread pool.
class ThumbnailImageDataProvider : public ImageDataProvider {
public:
    ThumbnailImageDataProvider(QUrl url, double maxPixelSize, bool alwaysCreateThumbnail = true,
                               const std::optional<QString>& cacheKey = std::nullopt);

    const QUrl& url() const { return url_; }
    double maxPixelSize() const { return maxPixelSize_; }
    void setMaxPixelSize(double size) { maxPixelSize_ = size; }
    bool alwaysCreateThumbnail() const { return alwaysCreateThumbnail_; }
    void setAlwaysCreateThumbnail(bool always) { alwaysCreateThumbnail_ = always; }
    QString cacheKey() const override { return cacheKey_; }
    void setCacheKey(QString key) { cacheKey_ = std::move(key); }

    void data(Handler handler) const override;
    QString description() const override;

    // The work of data(), on the calling thread.
    DataResult thumbnailData() const;

private:
    QUrl url_;
    double maxPixelSize_;
    bool alwaysCreateThumbnail_;
    QString cacheKey_;
};

} // namespace pictor
