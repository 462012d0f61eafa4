#pragma once

#include "pictor/core/Result.h"

#include <QByteArray>
#include <QString>

namespace pictor {

// The bytes of a picture file someone named: only a regular file, and no larger than a download
// may be. A pipe or a device would block its reader for good or fill the memory: the path is
// opened without waiting and what was opened is judged, so one swapped in meanwhile is refused
// unread. A link is followed; what it leads to is judged the same way.
namespace LocalImageFile {

constexpr qint64 kMaximumBytes = qint64(512) << 20;

// The named file opened for reading, when what was opened is a regular file: its descriptor,
// which the caller closes, or why it was not opened or was refused.
Result<int, QString> open(const QString& path);
// The file's bytes, or why they were not read.
Result<QByteArray, QString> read(const QString& path);

} // namespace LocalImageFile

} // namespace pictor
