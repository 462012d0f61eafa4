#include "pictor/core/Image.h"

#include <mutex>

namespace pictor {

struct Image::Data {
    QImage bitmap;
    QSizeF pointSize;
    mutable std::mutex mutex;
    std::optional<QByteArray> animatedSourceData;
    std::optional<int> imageFrameCount;
    std::shared_ptr<ImageFrameSource> frameSource;
    std::optional<ImageCreatingOptions> creatingOptions;
    std::optional<QList<Image>> animationFrames;
    std::optional<double> animationDuration;
};

Image::Image() : d_(std::make_shared<Data>()) {}

Image::Image(QImage bitmap) : Image()
{
    d_->pointSize = QSizeF(bitmap.size());
    d_->bitmap = std::move(bitmap);
}

Image::Image(QImage bitmap, QSizeF pointSize) : Image()
{
    d_->bitmap = std::move(bitmap);
    d_->pointSize = pointSize;
}

const QImage& Image::bitmap() const { return d_->bitmap; }
QSizeF Image::size() const { return d_->pointSize; }

QSizeF Image::pixelSize() const
{
    const QSize pixels = d_->bitmap.size();
    if (pixels.width() > 0 || pixels.height() > 0)
        return QSizeF(qMax(0, pixels.width()), qMax(0, pixels.height()));
    return d_->pointSize;
}

QString Image::description() const
{
    const QSizeF pixels = pixelSize();
    QString text = QStringLiteral("Image(%1x%2 px").arg(pixels.width()).arg(pixels.height());
    if (const auto count = imageFrameCount())
        text += QStringLiteral(", %1 frames").arg(*count);
    return text + ')';
}

namespace {

template <typename T>
T readLocked(std::mutex& mutex, const T& field)
{
    std::lock_guard lock(mutex);
    return field;
}

template <typename T>
void writeLocked(std::mutex& mutex, T& field, T value)
{
    std::lock_guard lock(mutex);
    field = std::move(value);
}

} // namespace

std::optional<QByteArray> Image::animatedSourceData() const { return readLocked(d_->mutex, d_->animatedSourceData); }
void Image::setAnimatedSourceData(std::optional<QByteArray> data) const { writeLocked(d_->mutex, d_->animatedSourceData, std::move(data)); }
std::optional<int> Image::imageFrameCount() const { return readLocked(d_->mutex, d_->imageFrameCount); }
void Image::setImageFrameCount(std::optional<int> count) const { writeLocked(d_->mutex, d_->imageFrameCount, count); }
std::shared_ptr<ImageFrameSource> Image::frameSource() const { return readLocked(d_->mutex, d_->frameSource); }
void Image::setFrameSource(std::shared_ptr<ImageFrameSource> source) const { writeLocked(d_->mutex, d_->frameSource, std::move(source)); }
std::optional<ImageCreatingOptions> Image::creatingOptions() const { return readLocked(d_->mutex, d_->creatingOptions); }
void Image::setCreatingOptions(std::optional<ImageCreatingOptions> options) const
{
    writeLocked(d_->mutex, d_->creatingOptions, options);
}
std::optional<QList<Image>> Image::animationFrames() const { return readLocked(d_->mutex, d_->animationFrames); }
void Image::setAnimationFrames(std::optional<QList<Image>> frames) const { writeLocked(d_->mutex, d_->animationFrames, std::move(frames)); }
std::optional<double> Image::animationDuration() const { return readLocked(d_->mutex, d_->animationDuration); }
void Image::setAnimationDuration(std::optional<double> seconds) const { writeLocked(d_->mutex, d_->animationDuration, seconds); }

} // namespace pictor
