#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// The entries of an old settings file ("<domain>.json": one object whose members are entries
// {"type": ..., "value": ...}), read from its bytes without judging the entries: each is kept as
// its compact JSON. A long data value (a liked list: tens of megabytes of Base64) is copied
// straight from the file's bytes into its entry, never parsed as text.
struct LegacySettingsFile {
    // What a file that does not parse as a whole lost: each entry that no longer reads on its own.
    struct Damage {
        QString fault;
        QStringList lostKeys;
        // Entries whose very name no longer reads.
        qsizetype lostUnnamed = 0;
        // The text breaks off (or gets out of step) before the object's end: what came after is lost.
        bool endsEarly = false;
    };

    QMap<QString, QByteArray> entries;
    // The last journal record the file holds: 0 when it names none; nothing when that cannot be
    // told (the member is damaged, or lost with a damaged part of the file).
    std::optional<qint64> journalSequence;
    std::optional<Damage> damage;

    static LegacySettingsFile parse(const QByteArray& bytes);
};
