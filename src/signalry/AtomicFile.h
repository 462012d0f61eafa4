#pragma once

#include <QString>

class QByteArray;

namespace signalry {

// The client's state files: written to a temporary file beside the target and renamed, so a
// crash mid-write never leaves half a file; a damaged file is moved aside, never deleted.
class AtomicFile {
public:
    // Creates the folder when missing. On failure returns false and sets `error` when given.
    static bool write(const QString& path, const QByteArray& data, QString* error = nullptr);
    // Renames `path` to `path` + ".damaged" (replacing an earlier one); returns the new path, or
    // an empty text when the rename failed.
    static QString moveAside(const QString& path);
};

} // namespace signalry
