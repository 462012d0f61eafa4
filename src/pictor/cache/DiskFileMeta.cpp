#include "pictor/cache/DiskFileMeta.h"

#include "pictor/cache/StorageExpiration.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

#include <cmath>

namespace pictor {

namespace {

QDateTime fromTimespec(const struct timespec& time)
{
    return QDateTime::fromMSecsSinceEpoch(int64_t(time.tv_sec) * 1000 + time.tv_nsec / 1000000, Qt::UTC);
}

struct timespec ceilingSecond(const QDateTime& time)
{
    const int64_t ms = time.toMSecsSinceEpoch();
    // Ceiling division that also holds for dates before 1970.
    const int64_t seconds = ms / 1000 + ((ms % 1000) > 0 ? 1 : 0);
    return timespec {time_t(seconds), 0};
}

} // namespace

DiskFileMeta DiskFileMeta::fromStat(const QString& path, const struct stat& status)
{
    DiskFileMeta meta;
    meta.path = path;
    meta.lastAccessDate = fromTimespec(status.st_atim);
    meta.estimatedExpirationDate = fromTimespec(status.st_mtim);
    meta.isDirectory = S_ISDIR(status.st_mode);
    meta.fileSize = S_ISREG(status.st_mode) ? int64_t(status.st_size) : 0;
    return meta;
}

bool DiskFileMeta::hasExpired(const QDateTime& referenceDate) const
{
    return !estimatedExpirationDate || *estimatedExpirationDate <= referenceDate;
}

void DiskFileMeta::renewExpiration(const ExpirationExtending& extending, const QDateTime& now) const
{
    if (!lastAccessDate || !estimatedExpirationDate)
        return;
    std::optional<StorageExpiration> expiration;
    switch (extending.kind()) {
    case ExpirationExtending::Kind::none:
        return;
    case ExpirationExtending::Kind::cacheTime:
        expiration = StorageExpiration::seconds(double(lastAccessDate->msecsTo(*estimatedExpirationDate)) / 1000.0);
        break;
    case ExpirationExtending::Kind::expirationTime:
        expiration = extending.expiration();
        break;
    }
    setDates(path, -1, now, expiration->estimatedExpiration(now));
}

bool DiskFileMeta::setDates(const QString& path, int fd, const QDateTime& lastAccess, const QDateTime& expiration)
{
    const struct timespec times[2] = {ceilingSecond(lastAccess), ceilingSecond(expiration)};
    if (fd >= 0)
        return ::futimens(fd, times) == 0;
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

} // namespace pictor
