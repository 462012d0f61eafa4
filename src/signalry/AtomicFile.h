#pragma once

#include <QString>

class QByteArray;

namespace signalry {

// State files that must never be left half written: the new content goes into a file of its own
// beside the target (unnamed while the file system allows), every write is checked, the file is
// synced to the disk and closed, and only then renamed over the target. A full disk, a failing
// device or a refused rename leaves the old file as it was and nothing else behind. A file that
// cannot be read is never replaced; a damaged or unreadable one is moved aside by its owner. Used by the analytics client and by the application's own
// stores.
class AtomicFile {
public:
    // Creates the folder when missing (the owner's alone, 0700, when made here), then replace().
    static bool write(const QString& path, const QByteArray& data, QString* error = nullptr);
    // Makes `data` the whole content of `path`, a file the owner alone may read and write (0600).
    // The folder must exist. On failure (`path` there but unreadable among them) returns false
    // and sets `error` (the system's reason, "No space left on device" say) when given.
    static bool replace(const QString& path, const QByteArray& data, QString* error = nullptr);
    // Renames `path` to `path` + ".damaged" (or, when an earlier one is there, ".damaged-2",
    // ".damaged-3", ...); returns the new path, or an empty text when the rename failed.
    static QString moveAside(const QString& path);
};

} // namespace signalry
