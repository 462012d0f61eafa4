#pragma once

#include "pictor/processing/ImageFormat.h"

#include <QByteArray>

#include <bitset>

namespace pictor {

// Answers which JPEG markers growing data holds, scanning each byte once: it remembers every FF xx
// pair seen so far and, on the next call, looks only at the bytes that arrived since. Data that
// does not continue what it has seen (shorter, or another start) starts a fresh scan.
class JpegMarkerScanner {
public:
    bool contains(const QByteArray& data, JPEGMarker marker);

private:
    void reset();

    QByteArray head_;
    qsizetype scanned_ = 0;
    std::bitset<256> seen_;
};

} // namespace pictor
