#include "pictor/processing/ExifThumbnailReader.h"

#include <QtEndian>

namespace pictor {

namespace {

constexpr quint16 kJpegInterchangeFormat = 0x0201;
constexpr quint16 kJpegInterchangeFormatLength = 0x0202;
constexpr qsizetype kEntrySize = 12;

} // namespace

std::optional<QByteArray> ExifThumbnailReader::read(const QByteArray& jpeg)
{
    const auto byte = [&jpeg](qsizetype at) { return quint8(jpeg[at]); };
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8)
        return std::nullopt;
    // The application segments come before the first scan; each says its own length.
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && byte(at) == 0xFF) {
        const quint8 marker = byte(at + 1);
        if (marker == 0xDA || marker == 0xD9)
            break;
        const qsizetype length = qFromBigEndian<quint16>(jpeg.constData() + at + 2);
        if (length < 2 || at + 2 + length > jpeg.size())
            break;
        const QByteArray segment = jpeg.mid(at + 4, length - 2);
        if (marker == 0xE1 && segment.startsWith(QByteArray("Exif\0\0", 6)))
            return fromTiff(segment.mid(6));
        at += 2 + length;
    }
    return std::nullopt;
}

std::optional<QByteArray> ExifThumbnailReader::fromTiff(const QByteArray& tiff)
{
    if (tiff.size() < 8 || (!tiff.startsWith("II") && !tiff.startsWith("MM")))
        return std::nullopt;
    const bool little = tiff.startsWith("II");
    const auto fits = [&tiff](qint64 at, qint64 size) { return at >= 0 && size >= 0 && at + size <= tiff.size(); };
    const auto u16 = [&](qint64 at) -> quint16 {
        const char* p = tiff.constData() + at;
        return little ? qFromLittleEndian<quint16>(p) : qFromBigEndian<quint16>(p);
    };
    const auto u32 = [&](qint64 at) -> quint32 {
        const char* p = tiff.constData() + at;
        return little ? qFromLittleEndian<quint32>(p) : qFromBigEndian<quint32>(p);
    };
    if (u16(2) != 42)
        return std::nullopt;
    // The first directory describes the image; the one after it, the thumbnail.
    const qint64 first = u32(4);
    if (!fits(first, 2) || !fits(first + 2, u16(first) * kEntrySize + 4))
        return std::nullopt;
    const qint64 second = u32(first + 2 + u16(first) * kEntrySize);
    if (second == 0 || !fits(second, 2) || !fits(second + 2, u16(second) * kEntrySize))
        return std::nullopt;
    std::optional<qint64> offset, length;
    for (qint64 entry = second + 2; entry < second + 2 + u16(second) * kEntrySize; entry += kEntrySize) {
        // A LONG (type 4) or SHORT (type 3) value kept in the entry itself.
        const quint16 type = u16(entry + 2);
        const qint64 value = type == 3 ? u16(entry + 8) : u32(entry + 8);
        if (u16(entry) == kJpegInterchangeFormat)
            offset = value;
        else if (u16(entry) == kJpegInterchangeFormatLength)
            length = value;
    }
    if (!offset || !length || !fits(*offset, *length))
        return std::nullopt;
    QByteArray thumbnail = tiff.mid(*offset, *length);
    if (!thumbnail.startsWith("\xFF\xD8"))
        return std::nullopt;
    return thumbnail;
}

} // namespace pictor
