#include "pictor/processing/JpegMarkerScanner.h"

namespace pictor {

namespace {
constexpr qsizetype headLength = 16;
}

void JpegMarkerScanner::reset()
{
    head_.clear();
    scanned_ = 0;
    seen_.reset();
}

bool JpegMarkerScanner::contains(const QByteArray& data, JPEGMarker marker)
{
    if (pt::imageFormat(data) != ImageFormat::JPEG || !marker.isValid())
        return false;
    if (data.size() < scanned_ || !data.startsWith(head_))
        reset();
    if (head_.size() < headLength)
        head_ = data.left(headLength);
    // A pair may straddle the previous end: start one byte back.
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    for (qsizetype i = qMax<qsizetype>(0, scanned_ - 1); i + 1 < data.size(); ++i) {
        if (bytes[i] == 0xFF)
            seen_.set(bytes[i + 1]);
    }
    scanned_ = data.size();
    return seen_.test(marker.secondByte());
}

} // namespace pictor
