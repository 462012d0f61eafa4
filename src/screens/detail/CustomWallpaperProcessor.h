#pragma once

#include "model/WallpaperModel.h"

#include <QCoro/QCoroTask>
#include <QUrl>

class CustomWallpapersService;
class MediaTools;

// Makes an uploaded video one of the user's own wallpapers at once: copies it into the own-videos
// folder as "<key>.mp4" (replacing an older copy), reads its size, duration and resolution, and
// adds the record to the own-wallpapers list. A failure is logged and thrown; the copy it made is
// removed again, so the folder never keeps a video that no record names. GUI thread; the copy
// and the probe run off it.
class CustomWallpaperProcessor {
public:
    // The shared own-wallpapers list and media tools.
    CustomWallpaperProcessor();
    CustomWallpaperProcessor(CustomWallpapersService& custom, const MediaTools& media);

    // The record added; `title` is trimmed. Throws FullScreenViewError (no Application Support
    // folder, a failed copy) or the probe's MediaError.
    QCoro::Task<WallpaperModel> process(QUrl fileUrl, QString title, QString category, qint64 key);

    // "%.0fMB" of the size; a negative size counts as 0.
    static QString fileSizeText(qint64 bytes);
    // "%d:%02ds" of the whole seconds; a duration that is not a finite positive number is 0:00s.
    static QString durationText(double seconds);

private:
    CustomWallpapersService& custom_;
    const MediaTools& media_;
};
