#pragma once

#include "MediaRecipe.h"

#include <QHash>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <future>
#include <mutex>

namespace samplecatalogue {

// The generated asset files of the catalogue, kept in a folder that outlives the server (under
// "<folder>/<key>/"). A file is drawn by ffmpeg the first time it is asked for, or all at once
// ahead of time. Thread-safe: concurrent requests for one missing file wait for a single run.
class MediaStore {
public:
    explicit MediaStore(QString folder, QString ffmpeg = QStringLiteral("ffmpeg"), MediaRecipe::Look look = MediaRecipe::Look::TestPattern);

    QString folder() const { return folder_; }

    // The path of the asset's finished file, drawing it first when missing. Empty, with the
    // reason in error, when it cannot be made; the next call tries again.
    QString file(const MediaRecipe::Source& source, MediaRecipe::Asset asset, QString* error);

    // Makes every missing file of every source with `jobs` parallel workers; progress is called
    // (from a worker, one call at a time) after each finished source. False when a file failed.
    bool generateAll(const QList<MediaRecipe::Source>& sources, int jobs,
                     const std::function<void(int done, int total)>& progress, QString* error);

    // How many files have been drawn so far.
    int generatedCount() const { return generated_; }

private:
    QString pathFor(const MediaRecipe::Source& source, MediaRecipe::Asset asset) const;
    QString draw(const MediaRecipe::Source& source, MediaRecipe::Asset asset, const QString& path);

    const QString folder_;
    const QString ffmpeg_;
    const MediaRecipe::Look look_;
    std::mutex mutex_;
    QHash<QString, std::shared_future<QString>> drawing_; // path → error text of the run, empty on success
    std::atomic<int> generated_{0};
};

} // namespace samplecatalogue
