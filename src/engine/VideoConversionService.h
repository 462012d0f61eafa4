#pragma once

#include "engine/AsyncFifoLock.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class AerialsFolders;
class StagedFile;

// Makes and installs the lock-screen wallpaper: a wallpaper's master video becomes a QuickTime
// movie in "Quorvelle/conversions" of Caches (streams copied, re-encoded only when the movie
// format refuses them), and that movie and a PNG of the wallpaper's image are installed in the
// extension's "videos" and "thumbnails" folders under the one fixed asset identifier. Every
// file appears whole or not at all: a failure keeps the previously installed wallpaper. The
// operations that write take turns, in the order they were called. GUI thread; FFmpeg, image
// decoding and copies run on workers. Failures are thrown (ConversionError, or the transfer's
// and file system's own errors) and logged.
class VideoConversionService : public QObject {
    Q_OBJECT

public:
    // Called after each file step with its name; a test throws from it to stop there.
    using StepHook = std::function<void(const QString& step)>;
    using ProgressHandler = std::function<void(double fraction)>;

    // The shared stand-in folders of the extension.
    explicit VideoConversionService(QObject* parent = nullptr);
    explicit VideoConversionService(AerialsFolders& folders, QObject* parent = nullptr);

    static VideoConversionService& shared();

    static QString conversionsFolder();
    // The key's converted movie: conversions folder + key + ".mov".
    static QString convertedMoviePath(qint64 key);

    bool hasConvertedVideo(qint64 key) const;

    // Converts the video file into the key's movie, replacing an earlier one only when the new
    // one is complete; returns its location.
    QCoro::Task<QUrl> convertToMOV(QUrl videoUrl, qint64 key);
    // Fetches the image, turns it into a PNG and installs it as the lock-screen thumbnail.
    QCoro::Task<> copyThumbnailToAerials(QUrl thumbnailUrl);
    // Installs the key's converted movie as the lock-screen movie.
    QCoro::Task<> copyMOVToAerials(qint64 key);
    // Installs the key's converted movie and, when an address is given, the picture there as the
    // lock-screen thumbnail, as one change: both are made complete first and then put in place
    // together, so a failure keeps the earlier movie and thumbnail, a pair. Progress: 0.35 (with
    // a picture), 0.5, 0.6.
    QCoro::Task<> copyToAerials(qint64 key, std::optional<QUrl> thumbnailUrl, ProgressHandler progress = {});
    // Deletes the key's converted movie when there is one; never fails.
    void removeConvertedVideo(qint64 key);

    // The whole lock-screen install in one turn, so that two applies never mix their files:
    // the movie (converted unless it already is), the thumbnail when an address is given (else
    // the installed one stays), both put in place together, the extension restart (its failure
    // ignored), then the converted movie removed. Progress goes 0.1/0.25 … 1.0 as the steps
    // pass. A failure of the movie or the thumbnail ends the install and is thrown.
    QCoro::Task<> installLockScreenWallpaper(QUrl videoUrl, qint64 key, std::optional<QUrl> thumbnailUrl,
        ProgressHandler progress = {});

    void setStepHook(StepHook hook) { stepHook_ = std::move(hook); }

private:
    QCoro::Task<> convert(QUrl videoUrl, qint64 key);
    // The new thumbnail and movie, complete beside the installed ones.
    QCoro::Task<std::unique_ptr<StagedFile>> stageThumbnail(QUrl thumbnailUrl);
    QCoro::Task<std::unique_ptr<StagedFile>> stageMovie(qint64 key);
    QCoro::Task<> installFiles(qint64 key, std::optional<QUrl> thumbnailUrl, ProgressHandler progress);
    void commit(StagedFile* movie, StagedFile* thumbnail);
    void step(const QString& name) const;

    AerialsFolders& folders_;
    AsyncFifoLock turns_;
    StepHook stepHook_;
};
