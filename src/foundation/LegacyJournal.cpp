#include "foundation/LegacyJournal.h"

#include <array>

namespace {
constexpr qsizetype kFrameBytes = 8;

quint32 littleEndian(const QByteArray& bytes, qsizetype at)
{
    return quint32(quint8(bytes.at(at))) | quint32(quint8(bytes.at(at + 1))) << 8 | quint32(quint8(bytes.at(at + 2))) << 16
        | quint32(quint8(bytes.at(at + 3))) << 24;
}

// The bytes a record framed at `at` takes, or -1 when its frame runs past the end.
qsizetype framedSize(const QByteArray& bytes, qsizetype at)
{
    if (bytes.size() - at < kFrameBytes)
        return -1;
    const qsizetype length = littleEndian(bytes, at);
    return length > bytes.size() - at - kFrameBytes ? -1 : kFrameBytes + length;
}
} // namespace

quint32 LegacyJournal::crc32(QByteArrayView bytes)
{
    // The reflected CRC-32 of zlib and Ethernet (polynomial 0xEDB88320).
    static constexpr std::array<quint32, 256> table = [] {
        std::array<quint32, 256> entries{};
        for (quint32 index = 0; index < entries.size(); ++index) {
            quint32 value = index;
            for (int bit = 0; bit < 8; ++bit)
                value = (value >> 1) ^ ((value & 1) ? 0xedb88320u : 0);
            entries[index] = value;
        }
        return entries;
    }();
    quint32 crc = ~0u;
    for (const char byte : bytes)
        crc = (crc >> 8) ^ table[(crc ^ quint8(byte)) & 0xff];
    return ~crc;
}

LegacyJournal LegacyJournal::parse(const QByteArray& bytes)
{
    LegacyJournal journal;
    qsizetype at = 0;
    for (; at < bytes.size(); at += framedSize(bytes, at)) {
        const qsizetype size = framedSize(bytes, at);
        if (size < 0) {
            journal.end = End::CutShort;
            break;
        }
        const QByteArrayView record(bytes.constData() + at + kFrameBytes, size - kFrameBytes);
        if (crc32(record) != littleEndian(bytes, at + 4)) {
            journal.end = End::Damaged;
            break;
        }
        journal.records.append(record.toByteArray());
    }
    // Counted by their frames, which may themselves be damaged: a frame that runs past the end
    // counts as one.
    while (at < bytes.size()) {
        ++journal.unread;
        const qsizetype size = framedSize(bytes, at);
        at = size < 0 ? bytes.size() : at + size;
    }
    return journal;
}
