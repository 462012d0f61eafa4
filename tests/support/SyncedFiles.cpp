#include "support/SyncedFiles.h"

#include <QFile>

#include <mutex>
#include <set>
#include <utility>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
using FileId = std::pair<dev_t, ino_t>;

std::mutex mutex;
// Noted only while a SyncedFiles lives: the process's other syncs (its databases) pass.
bool noting = false;
std::set<FileId> synced;


void note(int fd)
{
    struct stat facts {};
    if (::fstat(fd, &facts) != 0)
        return;
    const std::lock_guard lock(mutex);
    if (noting)
        synced.insert({facts.st_dev, facts.st_ino});
}
} // namespace

// Defined in the executable, so the program's calls (and those of the libraries it loads)
// come here instead of to the C library's. Weak: a test program with stand-ins of its own for
// these calls (the analytics tests' failing file calls) keeps its own.
extern "C" __attribute__((weak)) int fdatasync(int fd)
{
    note(fd);
    return int(::syscall(SYS_fdatasync, fd));
}

extern "C" __attribute__((weak)) int fsync(int fd)
{
    note(fd);
    return int(::syscall(SYS_fsync, fd));
}

SyncedFiles::SyncedFiles()
{
    const std::lock_guard lock(mutex);
    noting = true;
}

SyncedFiles::~SyncedFiles()
{
    const std::lock_guard lock(mutex);
    noting = false;
    synced.clear();
}

bool SyncedFiles::contains(const QString& path) const
{
    struct stat facts {};
    if (::stat(QFile::encodeName(path).constData(), &facts) != 0)
        return false;
    const std::lock_guard lock(mutex);
    return synced.count({facts.st_dev, facts.st_ino}) > 0;
}
