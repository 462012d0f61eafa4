#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageWriter>
#include <QList>
#include <QPainter>
#include <QSize>
#include <QtEndian>

#include <optional>

// Image data made in the test, so every byte of a case is known.
namespace testimages {

// A picture with four coloured quadrants, so scaling, cropping and flips show.
inline QImage quadrants(QSize size, bool alpha = false)
{
    QImage image(size, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QPainter painter(&image);
    const int w = size.width() / 2, h = size.height() / 2;
    painter.fillRect(0, 0, w, h, Qt::red);
    painter.fillRect(w, 0, size.width() - w, h, Qt::green);
    painter.fillRect(0, h, w, size.height() - h, Qt::blue);
    painter.fillRect(w, h, size.width() - w, size.height() - h, Qt::white);
    return image;
}

inline QByteArray encoded(const QImage& image, const char* format, int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

// The CRC of PNG chunks.
inline quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    return ~crc;
}

// A PNG whose header declares the size, its checksum made right so that only the size is wrong.
inline QByteArray pngDeclaring(quint32 width, quint32 height)
{
    QByteArray png = encoded(quadrants(QSize(64, 48)), "png");
    qToBigEndian(width, png.data() + 16);
    qToBigEndian(height, png.data() + 20);
    qToBigEndian(crc32(png.mid(12, 17)), png.data() + 29);
    return png;
}

struct GifFrame {
    QSize size;
    // Palette index 0 to 3 (black, red, green, blue) of every pixel.
    int colorIndex = 1;
    // Centiseconds; absent writes no graphic control extension.
    std::optional<int> delay;
};

// A GIF89a of the given canvas and frames. The pixels are coded as LZW literals with a clear code
// after every two, so the code size stays at 3 bits and no compression is needed.
inline QByteArray gif(QSize canvas, const QList<GifFrame>& frames, bool trailer = true)
{
    QByteArray out("GIF89a");
    const auto word = [&out](int value) {
        out.append(char(value & 0xFF));
        out.append(char((value >> 8) & 0xFF));
    };
    word(canvas.width());
    word(canvas.height());
    out.append(char(0x81)); // global table of 4 colours
    out.append(char(0));
    out.append(char(0));
    out.append(QByteArray::fromHex("000000ff000000ff000000ff"));
    for (const GifFrame& frame : frames) {
        if (frame.delay) {
            out.append(QByteArray::fromHex("21f90404"));
            word(*frame.delay);
            out.append(QByteArray::fromHex("0000"));
        }
        out.append(char(0x2C));
        for (const int value : {0, 0, frame.size.width(), frame.size.height()})
            word(value);
        out.append(char(0));
        out.append(char(2)); // LZW minimum code size
        QByteArray codes;
        quint32 bits = 0;
        int count = 0;
        const auto put = [&](int code) {
            bits |= quint32(code) << count;
            count += 3;
            while (count >= 8) {
                codes.append(char(bits & 0xFF));
                bits >>= 8;
                count -= 8;
            }
        };
        const int pixels = frame.size.width() * frame.size.height();
        for (int i = 0; i < pixels; ++i) {
            if (i % 2 == 0)
                put(4);
            put(frame.colorIndex);
        }
        put(5);
        if (count > 0)
            codes.append(char(bits & 0xFF));
        for (qsizetype at = 0; at < codes.size(); at += 255) {
            const QByteArray block = codes.mid(at, 255);
            out.append(char(block.size()));
            out.append(block);
        }
        out.append(char(0));
    }
    if (trailer)
        out.append(char(0x3B));
    return out;
}

// A JPEG of the picture whose EXIF block holds an orientation and, when given, a thumbnail.
inline QByteArray jpegWithExif(const QImage& picture, quint16 orientation, const QByteArray& thumbnail)
{
    QByteArray tiff("II*\0", 4);
    const auto u16 = [&tiff](quint16 v) { tiff.append(char(v & 0xFF)).append(char(v >> 8)); };
    const auto u32 = [&](quint32 v) { u16(v & 0xFFFF), u16(v >> 16); };
    const auto entry = [&](quint16 tag, quint16 type, quint32 value) {
        u16(tag), u16(type), u32(1);
        type == 3 ? (u16(quint16(value)), u16(0)) : u32(value);
    };
    // The picture's directory at 8 (18 bytes), the thumbnail's at 26 (30 bytes), its data at 56.
    u32(8);
    u16(1), entry(0x0112, 3, orientation), u32(thumbnail.isEmpty() ? 0 : 26);
    if (!thumbnail.isEmpty()) {
        u16(2), entry(0x0201, 4, 56), entry(0x0202, 4, quint32(thumbnail.size())), u32(0);
        tiff += thumbnail;
    }
    const QByteArray exif = QByteArray("Exif\0\0", 6) + tiff;
    const QByteArray segment = QByteArray("\xFF\xE1") + char((exif.size() + 2) >> 8) + char((exif.size() + 2) & 0xFF) + exif;
    const QByteArray jpeg = encoded(picture, "jpeg");
    return jpeg.left(2) + segment + jpeg.mid(2);
}

} // namespace testimages
