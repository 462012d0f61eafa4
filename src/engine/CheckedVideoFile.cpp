#include "engine/CheckedVideoFile.h"

#include "engine/StagedFile.h"
#include "platform/FileError.h"
#include "platform/MediaError.h"
#include "platform/MediaTools.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

QString CheckedVideoFile::recordPath(const QString& path) { return path + QStringLiteral(".size"); }

bool CheckedVideoFile::isWhole(const QString& path, bool unrecordedIsWhole)
{
    QFile record(recordPath(path));
    if (!record.open(QIODevice::ReadOnly))
        return unrecordedIsWhole;
    bool readable = false;
    const qint64 size = record.read(32).trimmed().toLongLong(&readable);
    // A damaged record vouches for nothing: the file is fetched again.
    return readable && QFileInfo(path).size() == size;
}

QCoro::Task<bool> CheckedVideoFile::hasVideo(QString path)
{
    bool hasVideo = false;
    try {
        const MediaInfo info = co_await MediaTools::shared().probeAsync(path);
        hasVideo = info.hasVideoTrack;
    } catch (const MediaError&) {
        // Unreadable as media: no video.
    }
    co_return hasVideo;
}

QCoro::Task<bool> CheckedVideoFile::playsToEnd(QString path)
{
    bool whole = false;
    try {
        whole = co_await MediaTools::shared().playsToEndAsync(path);
    } catch (const MediaError&) {
        // Unreadable as media: nothing to play.
    }
    co_return whole;
}

void CheckedVideoFile::store(const QString& staged, const QString& destination, DownloadDurability durability)
{
    try {
        StagedFile record(recordPath(destination));
        record.write(QByteArray::number(QFileInfo(staged).size()));
        record.commit(durability);
        if (std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(destination).constData()) != 0)
            throw FileError(destination, QStringLiteral("cannot be replaced (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
    } catch (const FileError&) {
        discard(destination);
        throw;
    }
}

bool CheckedVideoFile::discard(const QString& path)
{
    QFile::remove(recordPath(path));
    return QFile::remove(path);
}
