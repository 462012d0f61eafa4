#pragma once

#include "platform/MediaInfo.h"

#include <QCoro/QCoroTask>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <stop_token>

class MediaInput;

// Reads and converts media files with FFmpeg and Qt's image readers: probing a video, taking one
// frame, re-packaging a video as a QuickTime movie, turning an image into a PNG.
// The operations are synchronous, reentrant and keep no state, so any thread may call them at
// once; they are heavy, so the GUI thread awaits the *Async forms, which run them with
// QtConcurrent::run. Every failure is a MediaError. Methods are virtual so tests of callers can
// install a stand-in with Shared<MediaTools>::Override.
class MediaTools {
public:
    // Fraction done, 0 to 1, called on the working thread at most once per percent and with 1
    // once the movie is complete.
    using ProgressHandler = std::function<void(double fraction)>;

    virtual ~MediaTools() = default;
    static MediaTools& shared();

    // Duration, video track, natural size, rotation, codec and frame rate of a media file. A file
    // without a video track is not an error (hasVideoTrack is false, the duration is still read).
    // Throws fileNotFound, unreadable.
    virtual MediaInfo probe(const QString& path) const;

    // True when the file plays to its end: every packet reads whole, and the video track's
    // packets reach the length the container states (a file cut after its header keeps stating
    // the full length). A movie file's index answers for its packets; any other file is read
    // whole, without decoding.
    // Throws fileNotFound, unreadable.
    virtual bool playsToEnd(const QString& path) const;
    // The same test of an opened input, read from where it stands; any thread.
    static bool playsToEnd(const MediaInput& input);

    // The upright picture shown at `seconds` (the first frame at or after it; the last frame when
    // the video ends earlier), at its display size with non-square pixels widened, fitted within
    // `bounds` when given. Format RGB32, or ARGB32 for video with an alpha channel.
    // Throws fileNotFound, unreadable, noVideoTrack, decodeFailed.
    virtual QImage frameAt(const QString& path, double seconds, QSize bounds = {}) const;

    // Writes the video as a QuickTime movie at outputPath (replacing any file there). Tracks are
    // copied packet for packet with their timestamps; only a video codec the movie format cannot
    // hold is re-encoded (H.264), and then audio is left out, as wallpapers play muted. A failure
    // or a stop leaves no partial movie: once writing began, the file at outputPath is removed.
    // Throws fileNotFound, unreadable, noVideoTrack, decodeFailed, encodeFailed, writeFailed,
    // cancelled.
    virtual void exportMovie(const QString& inputPath, const QString& outputPath, const ProgressHandler& progress = {},
        std::stop_token stop = {}) const;

    // Decodes an image in any format Qt reads (WebP included) and writes it as a PNG, atomically:
    // the old file stays until the new one is complete. Throws notAnImage, writeFailed.
    virtual void convertImageDataToPng(const QByteArray& data, const QString& outputPath) const;
    // The same for an image file. Throws fileNotFound, notAnImage, writeFailed.
    void convertImageFileToPng(const QString& inputPath, const QString& outputPath) const;

    // The operations above run off the GUI thread; the coroutine resumes on the calling thread
    // and rethrows their MediaError. This object must outlive the tasks.
    QCoro::Task<MediaInfo> probeAsync(QString path) const;
    QCoro::Task<bool> playsToEndAsync(QString path) const;
    QCoro::Task<QImage> frameAtAsync(QString path, double seconds, QSize bounds = {}) const;
    QCoro::Task<> exportMovieAsync(QString inputPath, QString outputPath, ProgressHandler progress = {},
        std::stop_token stop = {}) const;
    QCoro::Task<> convertImageDataToPngAsync(QByteArray data, QString outputPath) const;
};
