#include "pictor/processing/GifStructure.h"

namespace pictor {

namespace {

class Cursor {
public:
    explicit Cursor(const QByteArray& data) : data_(data) {}
    bool has(qsizetype count) const { return data_.size() - at_ >= count; }
    uint8_t byte(qsizetype offset = 0) const { return uint8_t(data_[at_ + offset]); }
    int word(qsizetype offset) const { return byte(offset) | (byte(offset + 1) << 8); }
    void skip(qsizetype count) { at_ += count; }
    // Skips a run of data sub-blocks up to and including the zero-length terminator.
    bool skipSubBlocks()
    {
        while (has(1)) {
            const uint8_t length = byte();
            skip(1);
            if (length == 0)
                return true;
            if (!has(length))
                return false;
            skip(length);
        }
        return false;
    }

private:
    const QByteArray& data_;
    qsizetype at_ = 0;
};

qsizetype colorTableSize(uint8_t packed)
{
    return (packed & 0x80) ? 3 * (qsizetype(1) << ((packed & 0x07) + 1)) : 0;
}

} // namespace

GifStructure GifStructure::read(const QByteArray& data)
{
    GifStructure gif;
    Cursor cursor(data);
    if (!cursor.has(13) || !data.startsWith("GIF")) {
        gif.failure = QStringLiteral("GIF data ends inside its header");
        return gif;
    }
    gif.canvas = QSize(cursor.word(6), cursor.word(8));
    const qsizetype globalTable = colorTableSize(cursor.byte(10));
    cursor.skip(13);
    if (!cursor.has(globalTable)) {
        gif.failure = QStringLiteral("GIF data ends inside its colour table");
        return gif;
    }
    cursor.skip(globalTable);

    std::optional<double> pendingDelay;
    const auto cut = [&gif] {
        gif.failure = QStringLiteral("GIF data ends inside frame %1").arg(gif.delays.size() + 1);
        return gif;
    };
    while (cursor.has(1)) {
        const uint8_t introducer = cursor.byte();
        if (introducer == 0x3B)
            return gif;
        if (introducer == 0x21) {
            if (!cursor.has(2))
                return cut();
            if (cursor.byte(1) == 0xF9 && cursor.has(8) && cursor.byte(2) == 4)
                pendingDelay = cursor.word(4) / 100.0;
            cursor.skip(2);
            if (!cursor.skipSubBlocks())
                return cut();
        } else if (introducer == 0x2C) {
            if (!cursor.has(10))
                return cut();
            // Qt composes frames on the logical screen; a side of 0 takes the first frame's extent.
            if (gif.delays.isEmpty()) {
                if (gif.canvas.width() <= 0)
                    gif.canvas.setWidth(cursor.word(1) + cursor.word(5));
                if (gif.canvas.height() <= 0)
                    gif.canvas.setHeight(cursor.word(3) + cursor.word(7));
            }
            const qsizetype localTable = colorTableSize(cursor.byte(9));
            cursor.skip(10);
            // The local colour table, then the LZW minimum code size.
            if (!cursor.has(localTable + 1))
                return cut();
            cursor.skip(localTable + 1);
            if (!cursor.skipSubBlocks())
                return cut();
            gif.delays.append(pendingDelay);
            pendingDelay.reset();
        } else {
            gif.failure = QStringLiteral("GIF data holds an unknown block 0x%1 after frame %2")
                              .arg(introducer, 2, 16, QLatin1Char('0'))
                              .arg(gif.delays.size());
            return gif;
        }
    }
    gif.failure = QStringLiteral("GIF data ends before its trailer");
    return gif;
}

} // namespace pictor
