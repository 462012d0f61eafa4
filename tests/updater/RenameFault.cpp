#include "RenameFault.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <stdio.h>

namespace {
std::mutex mutex;
RenameFault::Picker picker;
int failed = 0;

// True when the armed fault picks this move (and counts it).
bool failsNow(const char* from, const char* to)
{
    std::lock_guard lock(mutex);
    if (!picker || !picker(QFile::decodeName(from), QFile::decodeName(to)))
        return false;
    ++failed;
    return true;
}
} // namespace

// Defined in the test program, this takes the place of the C library's rename() for the whole
// process; the move itself is left to renameat().
extern "C" int rename(const char* from, const char* to) noexcept
{
    if (failsNow(from, to)) {
        errno = EIO;
        return -1;
    }
    return ::renameat(AT_FDCWD, from, AT_FDCWD, to);
}

RenameFault::RenameFault(Picker fails)
{
    std::lock_guard lock(mutex);
    picker = std::move(fails);
    failed = 0;
}

RenameFault::~RenameFault()
{
    std::lock_guard lock(mutex);
    picker = nullptr;
}

int RenameFault::failures() const
{
    std::lock_guard lock(mutex);
    return failed;
}
