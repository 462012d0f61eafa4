#include "pictor/cache/DiskFileMeta.h"

#include "pictor/cache/StorageExpiration.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
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

// The dates as only the cache writes them: the access time moves with any program that reads the
// file (a backup, an indexer), which would shorten a renewed life, so both dates also go into an
// extended attribute. The file's times stay the fallback where the file system has none.
constexpr const char* datesAttribute = "user.pictor.dates";

struct StoredDates {
    int64_t lastAccess;
    int64_t expiration;
};

std::optional<StoredDates> storedDates(const QString& path)
{
    StoredDates dates {};
    if (::lgetxattr(QFile::encodeName(path).constData(), datesAttribute, &dates, sizeof dates) != sizeof dates)
        return std::nullopt;
    return dates;
}

} // namespace

DiskFileMeta DiskFileMeta::fromStat(const QString& path, const struct stat& status)
{
    DiskFileMeta meta;
    meta.path = path;
    const std::optional<StoredDates> dates = S_ISREG(status.st_mode) ? storedDates(path) : std::nullopt;
    meta.lastAccessDate = dates ? QDateTime::fromSecsSinceEpoch(dates->lastAccess, Qt::UTC) : fromTimespec(status.st_atim);
    meta.estimatedExpirationDate = dates ? QDateTime::fromSecsSinceEpoch(dates->expiration, Qt::UTC) : fromTimespec(status.st_mtim);
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
    const StoredDates dates {int64_t(times[0].tv_sec), int64_t(times[1].tv_sec)};
    const QByteArray name = QFile::encodeName(path);
    const int stored = fd >= 0 ? ::fsetxattr(fd, datesAttribute, &dates, sizeof dates, 0)
                               : ::lsetxattr(name.constData(), datesAttribute, &dates, sizeof dates, 0);
    if (stored != 0 && errno != ENOTSUP)
        return false;
    if (fd >= 0)
        return ::futimens(fd, times) == 0;
    return ::utimensat(AT_FDCWD, name.constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

} // namespace pictor
