#pragma once

#include "platform/DownloadDurability.h"

#include <QCoro/QCoroTask>
#include <QString>

// A cached video file that is only taken for whole once it was checked: its size is recorded
// beside it ("<file>.size") when it is stored, and a file whose size no longer matches its record
// is not used. Shared by the master and preview caches; plain file calls, any thread.
class CheckedVideoFile {
public:
    static QString recordPath(const QString& path);
    // True when the file has the size recorded for it. Without a record: `unrecordedIsWhole`
    // (files kept by earlier versions, or not cached videos at all).
    static bool isWhole(const QString& path, bool unrecordedIsWhole);
    // A file that holds a video track; probed off the GUI thread.
    static QCoro::Task<bool> hasVideo(QString path);
    // A video that plays to its end (nothing cut after its header); reads the whole file off the
    // GUI thread, so for short videos.
    static QCoro::Task<bool> playsToEnd(QString path);
    // Records the size of the complete file `staged` and renames it to `destination`, the record
    // synced as the file was (`durability`). Throws FileError; the destination and its record
    // are gone then.
    static void store(const QString& staged, const QString& destination, DownloadDurability durability);
    // Removes the file and its record; false when the file stays.
    static bool discard(const QString& path);
};
