#include "MediaStore.h"

#include "ProcessRunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cstdio>
#include <thread>
#include <vector>

namespace samplecatalogue {

namespace {
constexpr int kDrawTimeoutMs = 120'000;
}

MediaStore::MediaStore(QString folder, QString ffmpeg, MediaRecipe::Look look)
    : folder_(std::move(folder)), ffmpeg_(std::move(ffmpeg)), look_(look)
{
}

QString MediaStore::pathFor(const MediaRecipe::Source& source, MediaRecipe::Asset asset) const
{
    const QFileInfo name(MediaRecipe::fileName(asset));
    return QStringLiteral("%1/%2/%3-%4.%5")
        .arg(folder_)
        .arg(source.key)
        .arg(name.completeBaseName(), MediaRecipe::fingerprint(source, asset, look_), name.suffix());
}

QString MediaStore::file(const MediaRecipe::Source& source, MediaRecipe::Asset asset, QString* error)
{
    const QString path = pathFor(source, asset);
    std::shared_future<QString> outcome;
    std::promise<QString> run;
    bool drawsItself = false;
    {
        std::lock_guard lock(mutex_);
        // A finished file is renamed into place before its run leaves drawing_, so under the lock
        // a caller sees either the file or the run to wait for.
        if (QFileInfo::exists(path))
            return path;
        const auto running = drawing_.constFind(path);
        if (running != drawing_.constEnd()) {
            outcome = *running;
        } else {
            outcome = run.get_future().share();
            drawing_.insert(path, outcome);
            drawsItself = true;
        }
    }
    if (drawsItself) {
        QString failure = draw(source, asset, path);
        {
            std::lock_guard lock(mutex_);
            drawing_.remove(path);
        }
        run.set_value(std::move(failure));
    }
    if (const QString failure = outcome.get(); !failure.isEmpty()) {
        *error = failure;
        return {};
    }
    return path;
}

// Draws into a unique temporary name beside the final one and renames it into place, so a
// half-written file is never served, also when two processes share the folder.
QString MediaStore::draw(const MediaRecipe::Source& source, MediaRecipe::Asset asset, const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create %1").arg(folder);
    const QString partial = path + QStringLiteral(".part-") + QUuid::createUuid().toString(QUuid::Id128);
    QString failure;
    if (!ProcessRunner::run(ffmpeg_, MediaRecipe::arguments(source, asset, partial, look_), partial + QStringLiteral(".log"),
                            kDrawTimeoutMs, &failure)) {
        QFile::remove(partial);
        return QStringLiteral("%1 of %2: %3").arg(MediaRecipe::fileName(asset)).arg(source.key).arg(failure);
    }
    if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(partial);
        return QStringLiteral("cannot move %1 into place").arg(path);
    }
    ++generated_;
    return {};
}

bool MediaStore::generateAll(const QList<MediaRecipe::Source>& sources, int jobs,
                             const std::function<void(int done, int total)>& progress, QString* error)
{
    std::atomic<qsizetype> next{0};
    std::mutex reportMutex;
    int done = 0;
    QString firstFailure;
    const auto work = [&] {
        for (qsizetype index = next++; index < sources.size(); index = next++) {
            QString failure;
            for (const MediaRecipe::Asset asset : MediaRecipe::kAssets) {
                QString assetFailure;
                if (file(sources[index], asset, &assetFailure).isEmpty() && failure.isEmpty())
                    failure = assetFailure;
            }
            std::lock_guard lock(reportMutex);
            if (firstFailure.isEmpty())
                firstFailure = failure;
            if (progress)
                progress(++done, int(sources.size()));
        }
    };
    std::vector<std::thread> workers;
    for (int i = 0; i < std::max(1, jobs); ++i)
        workers.emplace_back(work);
    for (std::thread& worker : workers)
        worker.join();
    if (!firstFailure.isEmpty()) {
        *error = firstFailure;
        return false;
    }
    return true;
}

} // namespace samplecatalogue
