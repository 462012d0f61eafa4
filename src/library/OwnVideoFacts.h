#pragma once

#include "model/WallpaperModel.h"

#include <QCoro/QCoroTask>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

class MediaTools;

// What a user's own video file says about itself, and the texts every own-video record shows:
// the title from the file name, "45MB", "1:05s", "3840×2160" and the 4K flag. One set of rules
// for the community intake, the personal-use import and the copy kept after an upload.
struct OwnVideoFacts {
    qint64 bytes = 0;
    double durationSeconds = 0;       // as the file states it; may be non-finite
    std::optional<QSize> naturalSize; // of the first video track; none without one
    bool isMpeg4 = false;             // the bytes are an MPEG-4 file, whatever its name says

    // Reads the size and probes the file with FFmpeg off the GUI thread. Throws FileError when
    // the file cannot be read, MediaError when it is no media file.
    static QCoro::Task<OwnVideoFacts> read(QString path, const MediaTools& media);

    // The one set of files both the personal and the community path take: MPEG-4 videos, named
    // ".mp4" or ".m4v" (any case) and checked by their content (refusal()).
    static bool hasAcceptedName(const QString& path);
    // The file picker's filter for those names.
    static QString fileDialogFilter();
    // What both file choosers (ours and the desktop's) offer: the filter's name and its globs.
    static QString fileDialogFilterName();
    static QStringList fileDialogPatterns();
    // Why these facts are no video either path takes (not MPEG-4 by content, no video track);
    // nothing when they are.
    std::optional<QString> refusal() const;

    double megabytes() const { return double(bytes) / 1048576.0; }
    // "%.0fMB" of the size in MiB.
    QString sizeText() const;
    // "%d:%02ds" of the whole seconds; none for a duration that is not finite, negative or too
    // large to count.
    std::optional<QString> durationText() const;
    // Width "×" height; none without a video track.
    std::optional<QString> resolutionText() const;
    bool is4k() const { return naturalSize == QSize(3840, 2160); }

    // The record of an own video whose file is `fileUrl` (all five addresses), with these facts.
    // A duration without a text becomes "0:00s".
    WallpaperModel record(const QUrl& fileUrl, std::optional<qint64> key, const QString& title,
        const QString& category) const;

    // The title a file name gives: dashes become spaces, the stop words ("wallpaper", "4k", ...)
    // go, each word is capitalised; the bare name (without its last extension) when no word is
    // left; "Untitled Video" when what is left shows nothing on a card (control characters,
    // spaces).
    static QString wallpaperTitle(const QString& fileName);
    // "%d:%02ds" of whole seconds.
    static QString minutesText(qint64 seconds);
};
