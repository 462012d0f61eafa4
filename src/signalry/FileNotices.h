#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <mutex>

namespace signalry {

// Where the analytics client says that one of its state files could not be used as it was, so
// the application can tell the user what became of it. Each file is told of once per process.
// Emitted on whichever thread found it (queued to receivers on other threads); the one instance
// lives until exit.
class FileNotices : public QObject {
    Q_OBJECT

public:
    struct Kept {
        QString file;
        QString keptAt;
        bool movedAside = false;
        QString reason;
    };

    static FileNotices& shared();

    // What was told so far, for a receiver that connects after the files were read.
    QList<Kept> told() const;

    // Emits fileKept(), unless this file was told of already with the same outcome.
    void tell(const QString& file, const QString& keptAt, bool movedAside, const QString& reason);

signals:
    // `file` could not be used: damaged, or unreadable for its mode, it was moved aside to
    // `keptAt`; after a passing failure (too many open files, an I/O error, a directory in its
    // place) it stays where it was (`keptAt` is `file`), unread and not written over, and is read
    // again later. `reason` is the system's words for what happened.
    void fileKept(const QString& file, const QString& keptAt, bool movedAside, const QString& reason);

private:
    FileNotices() = default;

    mutable std::mutex mutex_;
    QSet<QString> outcomes_;
    QList<Kept> told_;
};

} // namespace signalry
