#include "foundation/WriteAheadLog.h"

#include <QFile>
#include <QtEndian>

#include <optional>

namespace {
constexpr qsizetype kHeaderBytes = 32;
constexpr qsizetype kFrameHeaderBytes = 24;
constexpr quint32 kMagicLittleEndian = 0x377f0682;
constexpr quint32 kMagicBigEndian = 0x377f0683;

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
    const quint32 pageSize = bigEndian(header + 8);
    if ((magic != kMagicLittleEndian && magic != kMagicBigEndian) || pageSize < 512 || pageSize > 65536
        || (pageSize & (pageSize - 1)) != 0)
        return false; // no log SQLite would replay either
    const bool bigEndianWords = magic == kMagicBigEndian;
    if (add({}, header, 24, bigEndianWords) != stored(header + 24))
        return false;
    const qsizetype frameBytes = kFrameHeaderBytes + pageSize;
    std::optional<qsizetype> firstBad;
    std::optional<qsizetype> badTransactionEnd;
    Checksum previous = stored(header + 24);
    for (qsizetype frame = 0; kHeaderBytes + (frame + 1) * frameBytes <= log.size(); ++frame) {
        const char* at = header + kHeaderBytes + frame * frameBytes;
        // Frames of an earlier log, left past the end of this one.
        if (bigEndian(at + 8) != bigEndian(header + 16) || bigEndian(at + 12) != bigEndian(header + 20))
            break;
        Checksum sum = add(previous, at, 8, bigEndianWords);
        sum = add(sum, at + kFrameHeaderBytes, pageSize, bigEndianWords);
        const bool checks = sum == stored(at + 16);
        const bool commits = bigEndian(at + 4) != 0;
        if (!checks && !firstBad)
            firstBad = frame;
        if (firstBad && !badTransactionEnd && commits)
            badTransactionEnd = frame;
        else if (badTransactionEnd && checks && commits)
            return true;
        previous = stored(at + 16);
    }
    return false;
}
