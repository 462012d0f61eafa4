#pragma once

#include "pictor/core/Result.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>

class QImageReader;

namespace pictor {

// Decodes still image data through Qt's image readers, refusing what would hurt: data whose
// header declares more pixels than the cap (checked before any pixel is allocated), and PNG,
// JPEG and WebP data that ends before the image does (readers would fill the rest with grey).
// Failures come back as a sentence that says why, for error texts.
//
// Qt also bounds every image its readers allocate, with one limit for the whole process
// (QImageReader::setAllocationLimit). This library sets it to 512 MiB when it is loaded, so that
// an image within the cap decodes even with 16-bit channels (64-bit pixels). A program that sets a
// lower limit later, or runs with QT_IMAGEIO_MAXALLOC (which Qt prefers to any limit set in code),
// lowers it for this library too: an image that needs more fails, and its failure names that limit.
class ImageDecoder {
public:
    // 64 megapixels: 256 MiB as 32-bit pixels.
    static constexpr int64_t maxPixels = int64_t(64) * 1024 * 1024;

    // With a size to fit, the reader decodes straight to the largest size of the image's aspect
    // ratio whose longer side is at most that size's longer side (never larger than the image);
    // JPEG data is then scaled while it is decoded.
    static Result<QImage, QString> decode(const QByteArray& data, int maxPixelSide = 0);
    // A quick preview at 1/divisor of the declared size: JPEG is scaled inside the decoder with
    // its fast transform. The declared (full) size is written to fullSize when given.
    static Result<QImage, QString> decodePreview(const QByteArray& data, int divisor, QSize* fullSize = nullptr);

    // "image of W x H pixels is above the decoding cap of N pixels" when that is so, else empty.
    static QString capFailure(QSize declared);
    // Empty when the data holds its whole image as far as its container tells, else why not.
    static QString truncation(const QByteArray& data);
    // "... above Qt's process-wide image allocation limit ..." when an image of that size in the
    // reader's pixel format passes that limit, else empty.
    static QString allocationFailure(const QImageReader& reader, QSize size);

private:
    // The size to decode to, given the declared one; invalid for the declared size.
    using ScaledSize = QSize (*)(QSize declared, int parameter);
    static Result<QImage, QString> read(const QByteArray& data, ScaledSize scaled, int parameter, int quality, QSize* fullSize);
};

} // namespace pictor
