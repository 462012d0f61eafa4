#include "foundation/CheckedStateRecord.h"

#include <QFile>

#include <cerrno>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A file's state as one line of numbers, its change time kept in `changed` when later; an
// absent file (no log) says so; empty when it cannot be read.
QByteArray fileState(const QString& path, timespec* changed)
{
    struct stat facts {};
    if (::stat(QFile::encodeName(path).constData(), &facts) != 0)
        return errno == ENOENT ? QByteArray("absent\n") : QByteArray();
    if (facts.st_ctim.tv_sec > changed->tv_sec || (facts.st_ctim.tv_sec == changed->tv_sec && facts.st_ctim.tv_nsec > changed->tv_nsec))
        *changed = facts.st_ctim;
    return QByteArray::number(quint64(facts.st_dev)) + ' ' + QByteArray::number(quint64(facts.st_ino)) + ' '
        + QByteArray::number(qint64(facts.st_size)) + ' ' + QByteArray::number(qint64(facts.st_mtim.tv_sec)) + ' '
        + QByteArray::number(qint64(facts.st_mtim.tv_nsec)) + ' ' + QByteArray::number(qint64(facts.st_ctim.tv_sec)) + ' '
        + QByteArray::number(qint64(facts.st_ctim.tv_nsec)) + '\n';
}

// The state of the file and its log, and the later of their change times; empty when either
// cannot be read.
QByteArray stateOf(const QString& path, timespec* changed)
{
    *changed = {};
    const QByteArray file = fileState(path, changed);
    const QByteArray log = fileState(path + QStringLiteral("-wal"), changed);
    return file.isEmpty() || log.isEmpty() ? QByteArray() : "1\n" + file + log;
}

bool before(const timespec& a, const timespec& b) { return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec); }

// Files take their times from the coarse clock: once it has passed the last change, a change
// made from now on carries a later time than any recorded.
bool waitPast(const timespec& changed)
{
    constexpr int kTries = 50;
    for (int i = 0; i < kTries; ++i) {
        timespec now {};
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        if (before(changed, now))
            return true;
        ::usleep(500);
    }
    return false;
}
} // namespace

QString CheckedStateRecord::recordPath(const QString& path) { return path + QStringLiteral("-checked"); }

bool CheckedStateRecord::write(const QString& path)
{
    timespec changed {};
    const QByteArray state = stateOf(path, &changed);
    if (state.isEmpty() || !waitPast(changed))
        return false;
    // Written whole under a new name, then renamed: a reader meets the old record or the new.
    // Not synced: a record lost to a power cut only makes the next open check the file.
    const QByteArray target = QFile::encodeName(recordPath(path));
    const QByteArray staging = target + ".new";
    const int fd = ::open(staging.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, state.constData(), size_t(state.size())) == state.size();
    if (::close(fd) != 0 || !written || ::rename(staging.constData(), target.constData()) != 0) {
        ::unlink(staging.constData());
        return false;
    }
    return true;
}

bool CheckedStateRecord::matches(const QString& path)
{
    QFile record(recordPath(path));
    if (!record.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 kLongest = 4096;
    const QByteArray recorded = record.read(kLongest);
    timespec changed {};
    const QByteArray state = stateOf(path, &changed);
    return !state.isEmpty() && recorded == state;
}
