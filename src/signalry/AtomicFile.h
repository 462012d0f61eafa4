#pragma once

#include <QByteArray>
#include <QString>

namespace signalry {

// State files that must never be left half written: the new content goes into a file of its own
// beside the target (unnamed while the file system allows), every write is checked, the file is
// synced to the disk and closed, and only then renamed over the target. A full disk, a failing
// device or a refused rename leaves the old file as it was and nothing else behind. A file that
// cannot be read is never replaced; a damaged or unreadable one is moved aside by its owner.
// Used by the analytics client and by the application's own stores.
class AtomicFile {
public:
    static constexpr int kCopiesKept = 3;

    // A whole file as read(): its bytes, or why there are none.
    struct Contents {
        enum class Outcome {
            Read,
            Missing,
            // Its mode refuses this process: it will not read later either.
            Refused,
            // Larger than the reader takes.
            TooLarge,
            // A passing failure (too many open files, an I/O error, a directory in its place):
            // the file may read later.
            Failed,
        };
        Outcome outcome = Outcome::Missing;
        QByteArray data;
        // The system's reason when it was not read, "Input/output error" say.
        QString error;
    };

    // Reads the whole of `path` with plain reads (a file mapped into memory turns a failing
    // device into a signal that ends the process); interrupted calls are carried on.
    static Contents read(const QString& path, qint64 maximumBytes);
    // Creates the folder when missing (the owner's alone, 0700, when made here), then replace().
    static bool write(const QString& path, const QByteArray& data, QString* error = nullptr);
    // Makes `data` the whole content of `path`, a file the owner alone may read and write (0600).
    // The folder must exist. On failure (`path` there but unreadable among them) returns false
    // and sets `error` (the system's reason, "No space left on device" say) when given.
    static bool replace(const QString& path, const QByteArray& data, QString* error = nullptr);
    // Renames `path` to `path` + ".damaged", the earlier copies moving on to ".damaged-2" and
    // ".damaged-3"; older ones are removed, so kCopiesKept are kept at most. Returns the new path,
    // or an empty text when the file could not be renamed (the copies are then as they were).
    static QString moveAside(const QString& path);
    // What became of `path` in words, given what moveAside() returned: "moved aside to <aside>",
    // or, when it could not be renamed, "not moved aside (the rename failed), left at <path>".
    static QString whereMovedAside(const QString& path, const QString& aside);
};

} // namespace signalry
