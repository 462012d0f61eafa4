#include "pictor/processing/ImageDecoder.h"

#include "pictor/processing/GifStructure.h"
#include "pictor/processing/ImageFormat.h"
#include "pictor/core/Saturating.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <cmath>

namespace pictor {

QString ImageDecoder::capFailure(QSize declared)
{
    const int64_t pixels = saturatingMultiply(qMax(0, declared.width()), qMax(0, declared.height()));
    if (pixels <= maxPixels)
        return {};
    return QStringLiteral("image of %1 x %2 pixels is above the decoding cap of %3 pixels")
        .arg(declared.width())
        .arg(declared.height())
        .arg(maxPixels);
}

namespace {

// Qt's allocation limit is process-wide: set once, when the library is loaded, never per decode
// (see ImageDecoder.h).
// Readers give 16-bit channels 64-bit pixels, so the cap's pixels are let in at that width; every
// 8-bit decode is held to 4 bytes x the cap by the cap itself, checked against what the reader
// really allocates (for GIF the logical screen, not the frame).
constexpr int64_t kWidestPixelBytes = 8;
const bool allocationLimitSet = [] {
    QImageReader::setAllocationLimit(int(ImageDecoder::maxPixels * kWidestPixelBytes / (1024 * 1024)));
    return true;
}();

// Where the first scan header of the image itself starts, past every marker segment; -1 when the
// data ends first. Bytes between segments that start no marker are skipped up to the next FF, as
// decoders do (they warn of extraneous data and read on).
qsizetype firstJpegScan(const QByteArray& data)
{
    qsizetype at = 2;
    while (at + 4 <= data.size()) {
        if (quint8(data[at]) != 0xFF) {
            at = data.indexOf(char(0xFF), at);
            if (at < 0)
                return -1;
            continue;
        }
        const quint8 marker = quint8(data[at + 1]);
        if (marker == 0xDA)
            return at;
        if (marker == 0xFF || marker == 0x00) { // a fill byte; FF 00 starts no marker
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // no length follows
            at += 2;
            continue;
        }
        at += 2 + qFromBigEndian<quint16>(data.constData() + at + 2);
    }
    return -1;
}

} // namespace

QString ImageDecoder::truncation(const QByteArray& data)
{
    switch (pt::imageFormat(data)) {
    case ImageFormat::PNG:
        // The IEND chunk closes every complete PNG stream.
        return data.contains("IEND") ? QString() : QStringLiteral("PNG data ends before its IEND chunk");
    case ImageFormat::JPEG: {
        // Entropy-coded data never holds FF D9 (FF is stuffed), so one after the first scan header
        // is the end-of-image marker. The scan is found by walking the segments: an EXIF thumbnail
        // inside one is a whole JPEG of its own, scan and end marker included.
        const qsizetype scan = firstJpegScan(data);
        if (scan < 0)
            return QStringLiteral("JPEG data ends before its first scan");
        return data.indexOf("\xFF\xD9", scan) < 0 ? QStringLiteral("JPEG data ends before its end-of-image marker") : QString();
    }
    case ImageFormat::GIF:
        return GifStructure::read(data).failure;
    case ImageFormat::WebP: {
        const quint32 riffSize = qFromLittleEndian<quint32>(data.constData() + 4);
        return qint64(riffSize) + 8 > data.size() ? QStringLiteral("WebP data is shorter than its RIFF header says") : QString();
    }
    default:
        return {};
    }
}

QString ImageDecoder::allocationFailure(const QImageReader& reader, QSize size)
{
    const int limitMiB = QImageReader::allocationLimit();
    if (limitMiB <= 0 || size.isEmpty())
        return {};
    // What Qt counts: whole rows of the reader's pixel format, 32 bits when it cannot tell.
    const QImage::Format format = reader.imageFormat();
    const int bits = format == QImage::Format_Invalid ? 32 : QImage::toPixelFormat(format).bitsPerPixel();
    const int64_t rowBytes = (saturatingMultiply(size.width(), bits) + 31) / 32 * 4;
    const int64_t needBytes = saturatingMultiply(rowBytes, size.height());
    if (needBytes <= int64_t(limitMiB) * 1024 * 1024)
        return {};
    const int64_t needMiB = (needBytes + 1024 * 1024 - 1) / (1024 * 1024);
    return QStringLiteral("the image may need %1 MiB, above Qt's process-wide image allocation limit of %2 MiB "
                          "(QImageReader::setAllocationLimit or QT_IMAGEIO_MAXALLOC)")
        .arg(needMiB)
        .arg(limitMiB);
}

Result<QImage, QString> ImageDecoder::decode(const QByteArray& data, int maxPixelSide)
{
    const ScaledSize fit = [](QSize declared, int maxSide) {
        if (maxSide <= 0 || !declared.isValid() || qMax(declared.width(), declared.height()) <= maxSide)
            return QSize();
        const double factor = double(maxSide) / qMax(declared.width(), declared.height());
        return QSize(qMax(1, int(std::lround(declared.width() * factor))), qMax(1, int(std::lround(declared.height() * factor))));
    };
    return read(data, fit, maxPixelSide, -1, nullptr);
}

Result<QImage, QString> ImageDecoder::decodePreview(const QByteArray& data, int divisor, QSize* fullSize)
{
    // Qt's JPEG reader picks libjpeg's DCT scaling for a size that divides the image exactly,
    // and its fast integer transform for a quality hint below 50.
    const ScaledSize reduced = [](QSize declared, int by) {
        if (by <= 1 || !declared.isValid())
            return QSize();
        return QSize((declared.width() + by - 1) / by, (declared.height() + by - 1) / by);
    };
    return read(data, reduced, divisor, 0, fullSize);
}

Result<QImage, QString> ImageDecoder::read(const QByteArray& data, ScaledSize scaled, int parameter, int quality, QSize* fullSize)
{
    using R = Result<QImage, QString>;
    if (data.isEmpty())
        return R::failure(QStringLiteral("no data"));
    if (const QString cut = truncation(data); !cut.isEmpty())
        return R::failure(cut);

    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return R::failure(QStringLiteral("data of %1 bytes is not an image Qt can read").arg(data.size()));
    // Ours when the signature tells it, else what Qt took the data for: a failed read forgets it.
    const QString format = pt::imageFormat(data) != ImageFormat::unknown || reader.format().isEmpty()
                               ? pt::formatName(pt::imageFormat(data))
                               : QString::fromLatin1(reader.format().toUpper());
    // A GIF reader tells the first frame's size, but composes it on the whole logical screen.
    const QSize declared = pt::imageFormat(data) == ImageFormat::GIF ? GifStructure::read(data).canvas : reader.size();
    if (const QString capped = capFailure(declared); !capped.isEmpty())
        return R::failure(capped);
    if (fullSize)
        *fullSize = declared;
    if (const QSize size = scaled(declared, parameter); size.isValid())
        reader.setScaledSize(size);
    if (quality >= 0)
        reader.setQuality(quality);
    // Qt tells only that it could not read the data when its allocation limit refused it.
    const QString limit = allocationFailure(reader, declared);
    QImage image = reader.read();
    if (image.isNull()) {
        const QString why = limit.isEmpty() ? reader.errorString() : limit;
        const QString failure = QStringLiteral("%1 data could not be decoded").arg(format);
        return R::failure(why.isEmpty() ? failure : failure + QStringLiteral(": ") + why);
    }
    // Everything after decoding works on 8-bit channels, which the cap's memory is counted in.
    if (image.depth() > 32)
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    return R::success(std::move(image));
}

} // namespace pictor
