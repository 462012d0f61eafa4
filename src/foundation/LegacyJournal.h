#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The records of an old settings journal, read from its bytes: each framed by its length and the
// CRC-32 of its bytes (both 32-bit little-endian), so a record cut short or changed is told from
// a whole one. Reading stops at the first record that is not whole.
struct LegacyJournal {
    enum class End {
        Whole,
        CutShort, // the last record ends before its length says
        Damaged, // a record's bytes do not match its checksum, or its frame cannot be
    };

    QList<QByteArray> records;
    End end = End::Whole;
    // The records from the first one at fault on, as far as their frames can be counted.
    qsizetype unread = 0;

    static LegacyJournal parse(const QByteArray& bytes);
    static quint32 crc32(QByteArrayView bytes);
};
