#include "foundation/WriteAheadLog.h"

#include <QFile>
#include <QtEndian>

namespace {
constexpr qsizetype kHeaderBytes = 32;
constexpr qsizetype kFrameHeaderBytes = 24;
constexpr quint32 kMagicLittleEndian = 0x377f0682;
constexpr quint32 kMagicBigEndian = 0x377f0683;
// The store's pages: what a log whose header no longer says its page size was written with.
constexpr quint32 kStorePageSize = 4096;

quint32 bigEndian(const char* bytes) { return qFromBigEndian<quint32>(bytes); }

struct Checksum {
    quint32 s0 = 0;
    quint32 s1 = 0;
    bool operator==(const Checksum&) const = default;
};

// SQLite's checksum: pairs of 32-bit words in the log's byte order, added into the running sums.
Checksum add(Checksum sum, const char* bytes, qsizetype size, bool bigEndianWords)
{
    for (qsizetype at = 0; at + 8 <= size; at += 8) {
        const quint32 x0 = bigEndianWords ? qFromBigEndian<quint32>(bytes + at) : qFromLittleEndian<quint32>(bytes + at);
        const quint32 x1 = bigEndianWords ? qFromBigEndian<quint32>(bytes + at + 4) : qFromLittleEndian<quint32>(bytes + at + 4);
        sum.s0 += x0 + sum.s1;
        sum.s1 += x1 + sum.s0;
    }
    return sum;
}

Checksum stored(const char* bytes) { return {bigEndian(bytes), bigEndian(bytes + 4)}; }

bool validPageSize(quint32 size) { return size >= 512 && size <= 65536 && (size & (size - 1)) == 0; }

// A frame that carries the log's salts, as each frame written since the log began does.
bool salted(const char* header, const char* frame)
{
    return bigEndian(frame + 8) == bigEndian(header + 16) && bigEndian(frame + 12) == bigEndian(header + 20);
}
} // namespace

bool WriteAheadLog::losesCommits(const QString& logPath)
{
    QFile file(logPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray log = file.readAll();
    if (log.size() < kHeaderBytes)
        return false;
    const char* header = log.constData();
    const quint32 magic = bigEndian(header);
    const quint32 headerPageSize = bigEndian(header + 8);
    const bool bigEndianWords = magic == kMagicBigEndian;
    const bool headerReads = (magic == kMagicLittleEndian || magic == kMagicBigEndian) && validPageSize(headerPageSize)
        && add({}, header, 24, bigEndianWords) == stored(header + 24);
    const quint32 pageSize = validPageSize(headerPageSize) ? headerPageSize : kStorePageSize;
    const qsizetype frameBytes = kFrameHeaderBytes + pageSize;
    const qsizetype frames = (log.size() - kHeaderBytes) / frameBytes;
    // SQLite reads no frame of a log whose header it cannot read: whatever was written after
    // the header is lost with it.
    if (!headerReads)
        return frames > 0;
    // SQLite replays frames while each carries the header's salts and its checksum follows from
    // the one before, and stops silently at the first that does not. A frame of this log that
    // stops it (its salts changed while its checksum still follows, or its salts kept while its
    // bytes changed) was written, and with a sync at every commit what it held was saved: every
    // change from there on is lost. So is everything after a frame of foreign bytes (a zeroed
    // sector) when frames of this log follow it. Frames of an earlier log left past the end carry
    // other salts and do not follow, and a transaction a crash cut short lacks frames, it has no
    // broken ones.
    Checksum previous = stored(header + 24);
    for (qsizetype frame = 0; frame < frames; ++frame) {
        const char* at = header + kHeaderBytes + frame * frameBytes;
        Checksum sum = add(previous, at, 8, bigEndianWords);
        sum = add(sum, at + kFrameHeaderBytes, pageSize, bigEndianWords);
        const bool follows = sum == stored(at + 16);
        if (salted(header, at) && follows) {
            previous = sum;
            continue;
        }
        if (follows || salted(header, at))
            return true;
        for (qsizetype later = frame + 1; later < frames; ++later)
            if (salted(header, header + kHeaderBytes + later * frameBytes))
                return true;
        return false;
    }
    return false;
}
