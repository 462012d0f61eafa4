#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

// Makes the records of an old settings journal on the entries of its file, as far as they
// provably extend that file. Each record ({"seq": n, "key": ..., then "entry": {...},
// "removed": true or "splices": [[at, removed, [element, ...]], ...]}) must carry the number after
// the one before it, the first no later than the one after the file's last (`fileSequence`);
// those the file holds already are skipped. A record that does not read, breaks the numbering or
// has a splice that does not fit its list stops the replay: it and every later record are left out.
struct LegacyJournalReplay {
    qsizetype applied = 0;
    // The records left out, from the one that stopped the replay on.
    qsizetype notApplied = 0;
    // Why the replay stopped, as words that follow "could not be applied: "; empty when it did not.
    QString stoppedBecause;

    static LegacyJournalReplay run(QMap<QString, QByteArray>& entries, qint64 fileSequence, const QList<QByteArray>& records);
};
