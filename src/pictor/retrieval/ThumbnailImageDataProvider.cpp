#include "pictor/retrieval/ThumbnailImageDataProvider.h"

#include "pictor/processing/ExifThumbnailReader.h"
#include "pictor/processing/GifStructure.h"
#include "pictor/processing/ImageDecoder.h"
#include "pictor/processing/ImageFormat.h"
#include "pictor/retrieval/LocalImageFile.h"
#include "pictor/views/TextForms.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QThreadPool>
#include <QTransform>

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

namespace {

// Why the picture must not be decoded, as the still decoder would refuse it, before any pixel
// is allocated: a GIF is composed on its whole logical screen.
QString capFailure(const QByteArray& data, QImageReader& reader)
{
    return ImageDecoder::capFailure(pt::imageFormat(data) == ImageFormat::GIF ? GifStructure::read(data).canvas : reader.size());
}

// Reads the picture at most maxPixelSize on its longer side, never enlarged.
QImage readScaled(QImageReader& reader, double maxPixelSize)
{
    const QSize stored = reader.size();
    const double longer = std::max(stored.width(), stored.height());
    if (stored.isValid() && maxPixelSize < longer) {
        const double factor = maxPixelSize / longer;
        reader.setScaledSize(QSize(std::max(1, int(std::lround(stored.width() * factor))), std::max(1, int(std::lround(stored.height() * factor)))));
    }
    return reader.read();
}

// Turns a picture as an EXIF orientation says: mirror or flip first, then a quarter turn.
QImage oriented(const QImage& image, QImageIOHandler::Transformations transformation)
{
    QImage turned = image.mirrored(transformation.testFlag(QImageIOHandler::TransformationMirror),
                                   transformation.testFlag(QImageIOHandler::TransformationFlip));
    if (transformation.testFlag(QImageIOHandler::TransformationRotate90))
        turned = turned.transformed(QTransform().rotate(90));
    return turned;
}

} // namespace

ImageDataProvider::DataResult ThumbnailImageDataProvider::thumbnailData() const
{
    using Reason = ImageDataProviderError::Reason;
    if (!url_.isValid() || !url_.isLocalFile())
        return DataResult::failure({Reason::emptySource, url_.toString()});
    Result<QByteArray, QString> read = LocalImageFile::read(url_.toLocalFile());
    if (read.isFailure())
        return DataResult::failure({Reason::invalidImageSource, read.error()});
    QByteArray source = std::move(read).value();
    QBuffer sourceBuffer(&source);
    sourceBuffer.open(QIODevice::ReadOnly);
    QImageReader reader(&sourceBuffer);
    reader.setAutoTransform(true);
    if (!reader.canRead() || !reader.size().isValid())
        return DataResult::failure({Reason::invalidImageSource, reader.errorString()});
    const QByteArray format = reader.format();
    if (!(maxPixelSize_ >= 1))
        return DataResult::failure({Reason::invalidThumbnail, QStringLiteral("maximum size %1").arg(TextForms::number(maxPixelSize_))});
    QImage thumbnail;
    if (alwaysCreateThumbnail_) {
        if (const QString capped = capFailure(source, reader); !capped.isEmpty())
            return DataResult::failure({Reason::invalidImageSource, capped});
        thumbnail = readScaled(reader, maxPixelSize_);
    } else if (std::optional<QByteArray> embedded = ExifThumbnailReader::read(source)) {
        // Only the thumbnail the file carries; it is turned as the picture itself is.
        QBuffer embeddedBuffer(&*embedded);
        embeddedBuffer.open(QIODevice::ReadOnly);
        QImageReader embeddedReader(&embeddedBuffer);
        embeddedReader.setAutoTransform(false);
        if (const QString capped = capFailure(*embedded, embeddedReader); !capped.isEmpty())
            return DataResult::failure({Reason::invalidThumbnail, capped});
        thumbnail = oriented(readScaled(embeddedReader, maxPixelSize_), reader.transformation());
    }
    if (thumbnail.isNull())
        return DataResult::failure({Reason::invalidThumbnail, alwaysCreateThumbnail_ ? reader.errorString() : QStringLiteral("no embedded thumbnail")});
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
