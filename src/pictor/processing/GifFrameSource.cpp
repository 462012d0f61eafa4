#include "pictor/processing/GifFrameSource.h"

#include "pictor/processing/ImageFormat.h"

#include <cmath>

namespace pictor {

GifFrameSource::GifFrameSource(QByteArray data, GifStructure structure)
    : data_(std::move(data)), structure_(std::move(structure))
{
    buffer_.setData(data_);
}

std::shared_ptr<GifFrameSource> GifFrameSource::open(const QByteArray& data, GifStructure structure)
{
    if (pt::imageFormat(data) != ImageFormat::GIF)
        return nullptr;
    std::shared_ptr<GifFrameSource> source(new GifFrameSource(data, std::move(structure)));
    std::lock_guard lock(source->mutex_);
    return source->rewind() ? source : nullptr;
}

bool GifFrameSource::rewind() const
{
    buffer_.close();
    buffer_.open(QIODevice::ReadOnly);
    reader_ = std::make_unique<QImageReader>(&buffer_, QByteArrayLiteral("gif"));
    next_ = 0;
    return reader_->canRead();
}

QImage GifFrameSource::frame(int index, std::optional<QSizeF> maxSize) const
{
    if (index < 0 || index >= frameCount())
        return {};
    QImage image;
    {
        std::lock_guard lock(mutex_);
        if (index < next_ && !rewind())
            return {};
        while (next_ <= index) {
            image = reader_->read();
            ++next_;
            if (image.isNull()) {
                rewind();
                return {};
            }
        }
    }
    const double side = maxSize ? std::max(maxSize->width(), maxSize->height()) : 0.0;
    if (side >= 1.0 && std::isfinite(side)) {
        if (std::max(image.width(), image.height()) > side)
            image = image.scaled(QSize(int(side), int(side)), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}

double GifFrameSource::duration(int index) const
{
    if (index < 0 || index >= frameCount())
        return 0.0;
    return frameDuration(structure_.delays[index]);
}

double GifFrameSource::frameDuration(std::optional<double> delay)
{
    if (!delay || std::isnan(*delay))
        return 0.1;
    return *delay > 0.011 ? *delay : 0.1;
}

std::shared_ptr<ImageFrameSource> GifFrameSource::copy() const
{
    return open(data_, structure_);
}

} // namespace pictor
