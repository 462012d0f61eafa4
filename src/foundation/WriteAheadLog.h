#pragma once

#include <QString>

// Reads SQLite's write-ahead log format: each frame carries the running checksum of the log up to
// it, so a frame can be checked against the one before it. SQLite stops replaying a log at its
// first frame that does not check, silently: the transactions after a damaged frame are lost.
namespace WriteAheadLog {

// A frame that does not check lies before a later transaction that does, committed whole: with a
// sync at every commit, that earlier transaction was on disk, so the log itself is damaged (a
// torn last transaction, after a crash or a power cut, is not damage). False for no log.
bool losesCommits(const QString& logPath);

} // namespace WriteAheadLog
