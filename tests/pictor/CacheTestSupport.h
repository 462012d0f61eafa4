#pragma once

#include "pictor/cache/CacheClock.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <memory>

// A clock the test moves by hand; storages may read it from their own threads, also after the
// test ended (a renewal still queued), so the time lives as long as the last reader.
class ManualClock {
public:
    QDateTime now() const { return QDateTime::fromMSecsSinceEpoch(ms_->load(), Qt::UTC); }
    void advance(double seconds) { *ms_ += int64_t(seconds * 1000); }
    pictor::CacheClock clock() const
    {
        return [ms = ms_] { return QDateTime::fromMSecsSinceEpoch(ms->load(), Qt::UTC); };
    }

private:
    std::shared_ptr<std::atomic<int64_t>> ms_ =
        std::make_shared<std::atomic<int64_t>>(QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC).toMSecsSinceEpoch());
};

// A file's access and modification times, in whole seconds since 1970.
struct FileDates {
    int64_t access = 0;
    int64_t modification = 0;
    bool operator==(const FileDates&) const = default;
};

inline FileDates fileDates(const QString& path)
{
    struct stat status {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return {int64_t(status.st_atim.tv_sec), int64_t(status.st_mtim.tv_sec)};
}

inline int64_t secondsOf(const QDateTime& time) { return time.toSecsSinceEpoch(); }

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}
