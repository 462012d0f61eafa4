#include "pictor/processing/ImageFormat.h"

#include <cstring>

namespace pictor {

uint8_t JPEGMarker::secondByte() const
{
    switch (kind_) {
    case Kind::SOF0: return 0xC0;
    case Kind::SOF2: return 0xC2;
    case Kind::DHT: return 0xC4;
    case Kind::DQT: return 0xDB;
    case Kind::DRI: return 0xDD;
    case Kind::SOS: return 0xDA;
    case Kind::RSTn: return uint8_t(0xD0 + restart_);
    case Kind::APPn: return 0xE0;
    case Kind::COM: return 0xFE;
    case Kind::EOI: return 0xD9;
    }
    return 0;
}

namespace pt {

namespace {

bool startsWith(const QByteArray& data, qsizetype offset, const char* bytes, size_t count)
{
    return data.size() >= offset + qsizetype(count) && std::memcmp(data.constData() + offset, bytes, count) == 0;
}

bool isHeifBrand(const QByteArray& data)
{
    static const char* const brands[] = {"heic", "heix", "hevc", "hevx", "heim", "heis", "mif1", "msf1"};
    if (!startsWith(data, 4, "ftyp", 4))
        return false;
    for (const char* brand : brands) {
        if (startsWith(data, 8, brand, 4))
            return true;
    }
    return false;
}

} // namespace

ImageFormat imageFormat(const QByteArray& data)
{
    if (data.size() < 9)
        return ImageFormat::unknown;
    if (startsWith(data, 0, "\x89PNG\r\n\x1a\n", 8))
        return ImageFormat::PNG;
    if (startsWith(data, 0, "GIF", 3))
        return ImageFormat::GIF;
    if (startsWith(data, 0, "\xFF\xD8\xFF", 3))
        return ImageFormat::JPEG;
    if (startsWith(data, 0, "RIFF", 4) && startsWith(data, 8, "WEBP", 4))
        return ImageFormat::WebP;
    if (isHeifBrand(data))
        return ImageFormat::HEIC;
    return ImageFormat::unknown;
}

bool contains(const QByteArray& data, JPEGMarker marker)
{
    if (imageFormat(data) != ImageFormat::JPEG || !marker.isValid())
        return false;
    const char pair[2] = {char(0xFF), char(marker.secondByte())};
    return data.contains(QByteArrayView(pair, 2));
}

QString formatName(ImageFormat format)
{
    switch (format) {
    case ImageFormat::PNG: return QStringLiteral("PNG");
    case ImageFormat::JPEG: return QStringLiteral("JPEG");
    case ImageFormat::GIF: return QStringLiteral("GIF");
    case ImageFormat::WebP: return QStringLiteral("WebP");
    case ImageFormat::HEIC: return QStringLiteral("HEIC");
    case ImageFormat::unknown: break;
    }
    return QStringLiteral("unknown format");
}

} // namespace pt
} // namespace pictor
