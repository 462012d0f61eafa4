#pragma once

#include "library/OwnVideoFacts.h"
#include "model/WallpaperModel.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <functional>
#include <memory>

class CustomWallpapersService;
class ImportProgress;
class MediaTools;
class StagedFile;

// Copies a user's video into the own-videos folder ("Quorvelle/custom" under Application
// Support) as "<key>.mp4", described by what the source says of itself (probed where it lies,
// before the copy), and puts the record at the front of the own wallpapers. The copy runs on a
// worker into a staging name and is flushed there; the rename to its final name and the record
// are one step on the GUI thread, so the folder never holds half a video, nor a video without
// its record, and a failed or stopped copy leaves nothing behind.
// The store's stopImports() (the application's end) stops every copy as the user's Stop does.
// GUI thread.
class OwnVideoImport {
public:
    OwnVideoImport(CustomWallpapersService& store, const MediaTools& media);

    // A video for this machine only, under a freshly drawn ten-digit key that names neither a
    // listed wallpaper nor a file in the folder. A file FFmpeg cannot open as an MPEG-4 video is
    // refused before anything is copied; a length the video does not state falls back to "0:00s".
    // Logs the outcome under CustomView; throws FileError, MediaError or MessageError.
    // `progress`, when given, follows the copy and may stop it: the import then throws
    // CancelledError and leaves nothing behind. A stop asked at any time before the record is
    // written is honoured, even once the last block is copied.
    QCoro::Task<WallpaperModel> importForPersonalUse(QString sourcePath, std::shared_ptr<ImportProgress> progress = {});

    // The local copy of a video just sent to the community, under the key the catalogue
    // reserved (replacing a file of that name). Throws when the copy or its facts cannot be had;
    // the file of that name stays as it was. Logs under FullScreenView.
    QCoro::Task<WallpaperModel> keepUploadedCopy(QString sourcePath, qint64 key, QString title, QString category);

    // The key drawn for a personal-use video: 1 000 000 000 to 9 999 999 999, drawn again while
    // `taken` says it is in use. Throws MessageError when no free key turns up.
    static qint64 drawKey(const std::function<bool(qint64)>& taken);

private:
    // The source's facts, read where it lies before anything is copied. Throws MessageError
    // without a folder, CancelledError once the application ends, else what reading throws.
    QCoro::Task<OwnVideoFacts> examine(QString sourcePath) const;
    // The complete copy, flushed, under its staging name. Throws when the copy fails or stops.
    QCoro::Task<std::shared_ptr<StagedFile>> copyIn(QString sourcePath, qint64 key, std::shared_ptr<ImportProgress> progress = {});
    // Throws CancelledError when the user or the application's end stopped the import.
    void throwIfStopped(const ImportProgress* progress) const;
    // Gives the copy its final name and stores its record, with no suspension between them.
    void keep(StagedFile& staged, const WallpaperModel& record, const ImportProgress* progress);
    QString folder() const;

    CustomWallpapersService& store_;
    const MediaTools& media_;
};
