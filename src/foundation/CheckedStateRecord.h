#pragma once

#include <QString>

// The state of a database file found sound, as its session left it: the identity, size and
// times of the file and of its write-ahead log, kept beside it ("<file>-checked"). While both
// are exactly as recorded nobody changed them since, and their check at open may be skipped:
// any change since, by anyone, gives the changed file a later change time. A record lost, torn
// or out of date costs only the check at the next open.
namespace CheckedStateRecord {

// Records the state of the file at `path` and its log now. Waits first, a clock tick at most,
// until the clock has passed their last change, so that no later change can carry its time.
// False when nothing could be recorded.
bool write(const QString& path);
// The file and its log are as the record says.
bool matches(const QString& path);
QString recordPath(const QString& path);

} // namespace CheckedStateRecord
