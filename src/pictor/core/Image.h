#pragma once

#include "pictor/processing/ImageCreatingOptions.h"
#include "pictor/core/ImageFrameSource.h"

#include <QImage>
#include <QList>
#include <QSizeF>

#include <memory>
#include <optional>

namespace pictor {

// The library's image: a bitmap with a size in points, plus what an animated image carries with
// it (its source bytes, frames, duration, frame count, frame source and creating options). Copies
// share one object, like a reference: operations that cannot work hand back the same object,
// which isSameObject tells. The bitmap is immutable; the animated-image values are set under a
// lock, so an image may be read and handed between threads freely.
class Image {
public:
    // An image without a bitmap and of zero size.
    Image();
    // A bitmap whose point size equals its pixel size.
    explicit Image(QImage bitmap);
    Image(QImage bitmap, QSizeF pointSize);

    const QImage& bitmap() const;
    bool hasBitmap() const { return !bitmap().isNull(); }
    QSizeF size() const;
    // The bitmap's size in pixels, or the point size when the bitmap has no pixels.
    QSizeF pixelSize() const;
    bool isSameObject(const Image& other) const { return d_ == other.d_; }
    // For error texts: "Image(<width>x<height> px[, <n> frames])".
    QString description() const;

    std::optional<QByteArray> animatedSourceData() const;
    void setAnimatedSourceData(std::optional<QByteArray> data) const;
    std::optional<int> imageFrameCount() const;
    void setImageFrameCount(std::optional<int> count) const;
    std::shared_ptr<ImageFrameSource> frameSource() const;
    void setFrameSource(std::shared_ptr<ImageFrameSource> source) const;
    std::optional<ImageCreatingOptions> creatingOptions() const;
    void setCreatingOptions(std::optional<ImageCreatingOptions> options) const;
    std::optional<QList<Image>> animationFrames() const;
    void setAnimationFrames(std::optional<QList<Image>> frames) const;
    std::optional<double> animationDuration() const;
    void setAnimationDuration(std::optional<double> seconds) const;

private:
    struct Data;
    std::shared_ptr<Data> d_;
};

} // namespace pictor
