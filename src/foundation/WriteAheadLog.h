#pragma once

#include <QString>

// Reads SQLite's write-ahead log format: each frame carries the running checksum of the log up to
// it, so a frame can be checked against the one before it. SQLite stops replaying a log at its
// first frame that does not check, silently: the transactions after a damaged frame are lost.
namespace WriteAheadLog {

// SQLite would stop replaying the log before its end at a frame that was written whole: a header
// it cannot read (a flipped bit, a zeroed sector) while frames follow, a frame of the log whose
// salts or bytes changed, or a foreign frame with frames of the log after it. With a sync at every
// commit what such a frame held was saved, so the log itself is damaged. A transaction a crash cut
// short (its last frames never written) is not damage. False for no log.
bool losesCommits(const QString& logPath);

} // namespace WriteAheadLog
