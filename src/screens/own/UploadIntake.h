#pragma once

#include "foundation/Result.h"
#include "model/WallpaperModel.h"

#include <QCoro/QCoroTask>
#include <QStringList>

#include <exception>

class MediaTools;
struct OwnVideoFacts;

// Measures a video offered to the community against the catalogue's limits (at least
// 3840×2160, under 200 MB, under 60 seconds) and turns an acceptable one into the upload
// candidate: a record without key, category "Custom", whose addresses all name the file.
// Stores and sends nothing. GUI thread; the probe runs on a worker.
class UploadIntake {
public:
    // Every broken limit, one message each, in the order resolution, size, duration.
    static QStringList validate(const OwnVideoFacts& facts);

    // The candidate, or the text the "Validation Error" alert shows: the broken limits with a
    // blank line between them, or why the file could not be taken (failureText()). Never throws.
    static QCoro::Task<Result<WallpaperModel, QString>> examine(QString path, const MediaTools& media);

    // What the user is told of a file that could not be taken: one that FFmpeg cannot read as a
    // video is "This file is not a video Quorvelle can play." (its path and FFmpeg's reason are
    // for the log only); any other failure says itself after "Failed to process wallpaper: ".
    static QString failureText(const std::exception& error);
};
