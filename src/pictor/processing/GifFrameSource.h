#pragma once

#include "pictor/processing/GifStructure.h"
#include "pictor/core/ImageFrameSource.h"

#include <QBuffer>
#include <QImageReader>

#include <memory>
#include <mutex>

namespace pictor {

// The frames of GIF data through Qt's GIF reader, which composes each frame on the canvas. Qt reads
// GIF frames only in order, so the source keeps its reader and its position: reading the next frame
// costs one frame, going back starts again from the first.
class GifFrameSource : public ImageFrameSource {
public:
    // Absent when the data is not GIF or Qt cannot read it.
    static std::shared_ptr<GifFrameSource> open(const QByteArray& data, GifStructure structure);

    std::optional<QByteArray> data() const override { return data_; }
    int frameCount() const override { return int(structure_.delays.size()); }
    using ImageFrameSource::frame;
    QImage frame(int index, std::optional<QSizeF> maxSize) const override;
    double duration(int index) const override;
    std::shared_ptr<ImageFrameSource> copy() const override;

    // A frame's delay as the animation shows it: absent or at most 0.011 s counts as 0.1 s.
    static double frameDuration(std::optional<double> delay);

private:
    GifFrameSource(QByteArray data, GifStructure structure);
    bool rewind() const;

    QByteArray data_;
    GifStructure structure_;
    mutable std::mutex mutex_;
    mutable QBuffer buffer_;
    mutable std::unique_ptr<QImageReader> reader_;
    mutable int next_ = 0;
};

} // namespace pictor
