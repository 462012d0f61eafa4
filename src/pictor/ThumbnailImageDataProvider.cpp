#include "pictor/ThumbnailImageDataProvider.h"

#include "pictor/TextForms.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QThreadPool>

#include <cmath>

namespace pictor {

ThumbnailImageDataProvider::ThumbnailImageDataProvider(QUrl url, double maxPixelSize, bool alwaysCreateThumbnail,
                                                       const std::optional<QString>& cacheKey)
    : url_(std::move(url)), maxPixelSize_(maxPixelSize), alwaysCreateThumbnail_(alwaysCreateThumbnail),
      cacheKey_(cacheKey ? *cacheKey
                         : url_.toString(QUrl::FullyEncoded) + QStringLiteral("_thumb_") + TextForms::number(maxPixelSize_) + u'_'
                               + (alwaysCreateThumbnail_ ? QStringLiteral("true") : QStringLiteral("false")))
{
}

void ThumbnailImageDataProvider::data(Handler handler) const
{
    // A copy: the provider may be a caller's value that is gone before the work runs.
    QThreadPool::globalInstance()->start([request = *this, handler = std::move(handler)] { handler(request.thumbnailData()); });
}

ImageDataProvider::DataResult ThumbnailImageDataProvider::thumbnailData() const
{
    using Reason = ImageDataProviderError::Reason;
    if (!url_.isValid() || !url_.isLocalFile())
        return DataResult::failure({Reason::emptySource, url_.toString()});
    QImageReader reader(url_.toLocalFile());
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!reader.canRead() || !stored.isValid())
        return DataResult::failure({Reason::invalidImageSource, reader.errorString()});
    const QByteArray format = reader.format();
    const double longer = std::max(stored.width(), stored.height());
    if (!(maxPixelSize_ >= 1))
        return DataResult::failure({Reason::invalidThumbnail, QStringLiteral("maximum size %1").arg(TextForms::number(maxPixelSize_))});
    if (maxPixelSize_ < longer) {
        const double factor = maxPixelSize_ / longer;
        reader.setScaledSize(QSize(std::max(1, int(std::lround(stored.width() * factor))), std::max(1, int(std::lround(stored.height() * factor)))));
    }
    const QImage thumbnail = reader.read();
    if (thumbnail.isNull())
        return DataResult::failure({Reason::invalidThumbnail, reader.errorString()});
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return DataResult::failure({Reason::writeDataError, buffer.errorString()});
    const bool writable = QImageWriter::supportedImageFormats().contains(format);
    QImageWriter writer(&buffer, writable ? format : QByteArray("png"));
    if (!writer.write(thumbnail))
        return DataResult::failure({Reason::finalizeDataError, writer.errorString()});
    return DataResult::success(std::move(bytes));
}

QString ThumbnailImageDataProvider::description() const
{
    return QStringLiteral("ThumbnailImageDataProvider(%1, %2)").arg(url_.toString(), TextForms::number(maxPixelSize_));
}

} // namespace pictor
