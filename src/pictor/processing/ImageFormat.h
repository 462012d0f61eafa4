#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace pictor {

// The encoded format of image data, told from its first bytes.
enum class ImageFormat { unknown, PNG, JPEG, GIF, WebP, HEIC };

// A two-byte JPEG marker to search for.
class JPEGMarker {
public:
    enum class Kind { SOF0, SOF2, DHT, DQT, DRI, SOS, RSTn, APPn, COM, EOI };

    constexpr JPEGMarker(Kind kind, uint8_t restart = 0) : kind_(kind), restart_(restart) {}
    static constexpr JPEGMarker rst(uint8_t n) { return JPEGMarker(Kind::RSTn, n); }

    // FF followed by the marker byte; APPn stands for FF E0 alone. A restart number that would
    // take D0 + n beyond one byte names no marker: it matches nothing.
    bool isValid() const { return kind_ != Kind::RSTn || restart_ <= 0xFF - 0xD0; }
    uint8_t secondByte() const;

private:
    Kind kind_;
    uint8_t restart_;
};

namespace pt {

// Fewer than 9 bytes are unknown. PNG, GIF and JPEG by their signatures; WebP ("RIFF" size "WEBP")
// and HEIC (an "ftyp" box of a HEIF brand) need 12 bytes.
ImageFormat imageFormat(const QByteArray& data);
// "PNG", "JPEG", "GIF", "WebP", "HEIC" or "unknown format", for texts.
QString formatName(ImageFormat format);
// Whether JPEG data holds the marker's byte pair anywhere (segment payloads included); false for
// data that is not JPEG.
bool contains(const QByteArray& data, JPEGMarker marker);

} // namespace pt
} // namespace pictor
