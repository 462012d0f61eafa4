#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>

#include <memory>
#include <optional>

namespace pictor {

// Lazy access to the frames of an animated image, so a view can decode frames again later (also
// at a reduced size) instead of holding every frame at full size. A null QImage means no frame.
class ImageFrameSource {
public:
    virtual ~ImageFrameSource() = default;

    virtual std::optional<QByteArray> data() const = 0;
    virtual int frameCount() const = 0;
    // A maximum size of 0 x 0 counts as none.
    virtual QImage frame(int index, std::optional<QSizeF> maxSize) const = 0;
    // Seconds the frame stays on screen.
    virtual double duration(int index) const = 0;
    // Another source over the same frames that can be read independently of this one.
    virtual std::shared_ptr<ImageFrameSource> copy() const = 0;

    QImage frame(int index) const { return frame(index, std::nullopt); }
};

} // namespace pictor
