#include "support/PowerCutVfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// What one write or truncation replaced: the bytes at `offset` and the file's size before it.
struct Undo {
    sqlite3_int64 offset = 0;
    std::string bytes;
    sqlite3_int64 sizeBefore = 0;
};

// Each file's undo log since its last sync, by path (several handles may share a file).
struct Unsynced {
    std::mutex mutex;
    std::map<std::string, std::vector<Undo>> files;
};

Unsynced& unsynced()
{
    static Unsynced* state = new Unsynced; // never destroyed: the cut may come during the exit
    return *state;
}

std::atomic<std::int64_t> writeCount{0};
std::atomic<std::int64_t> cutAt{0};

sqlite3_vfs* real() { return sqlite3_vfs_find("unix"); }

// A file of ours; the default file system's own follows it in the same allocation.
struct CutFile {
    sqlite3_file base;
    std::string* path; // none for a nameless temporary file
    sqlite3_file* inner() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

CutFile* cutFile(sqlite3_file* file) { return reinterpret_cast<CutFile*>(file); }
sqlite3_file* inner(sqlite3_file* file) { return cutFile(file)->inner(); }
const sqlite3_io_methods* methods(sqlite3_file* file) { return inner(file)->pMethods; }

// Puts every file back as its last sync left it, newest change undone first, and ends the process.
[[noreturn]] void cut()
{
    Unsynced& state = unsynced();
    state.mutex.lock(); // held until the end: nothing writes after the cut
    for (const auto& [path, undos] : state.files) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        for (auto undo = undos.rbegin(); undo != undos.rend(); ++undo) {
            if (!undo->bytes.empty() && ::pwrite(fd, undo->bytes.data(), undo->bytes.size(), undo->offset) < 0)
                std::abort();
            if (::ftruncate(fd, undo->sizeBefore) != 0)
                std::abort();
        }
        ::close(fd);
    }
    ::_exit(PowerCutVfs::kCutExitCode);
}

// Keeps what [offset, offset + amount) of the file holds before it is written or cut off.
void remember(sqlite3_file* file, sqlite3_int64 offset, sqlite3_int64 amount)
{
    CutFile* self = cutFile(file);
    if (!self->path)
        return;
    Undo undo;
    undo.offset = offset;
    if (methods(file)->xFileSize(inner(file), &undo.sizeBefore) != SQLITE_OK)
        std::abort(); // an undo log with a hole would restore a state that never was
    const sqlite3_int64 end = std::min(offset + amount, undo.sizeBefore);
    if (end > offset) {
        undo.bytes.resize(end - offset);
        if (methods(file)->xRead(inner(file), undo.bytes.data(), int(end - offset), offset) != SQLITE_OK)
            std::abort();
    }
    Unsynced& state = unsynced();
    const std::lock_guard lock(state.mutex);
    state.files[*self->path].push_back(std::move(undo));
}

int closeFile(sqlite3_file* file)
{
    const int code = methods(file)->xClose(inner(file));
    delete std::exchange(cutFile(file)->path, nullptr);
    return code;
}

int readFile(sqlite3_file* file, void* data, int amount, sqlite3_int64 offset)
{
    return methods(file)->xRead(inner(file), data, amount, offset);
}

int writeFile(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset)
{
    remember(file, offset, amount);
    const int code = methods(file)->xWrite(inner(file), data, amount, offset);
    const std::int64_t written = ++writeCount;
    if (written == cutAt.load())
        cut();
    return code;
}

int truncateFile(sqlite3_file* file, sqlite3_int64 size)
{
    sqlite3_int64 now = 0;
    if (methods(file)->xFileSize(inner(file), &now) == SQLITE_OK && now > size)
        remember(file, size, now - size);
    return methods(file)->xTruncate(inner(file), size);
}

int syncFile(sqlite3_file* file, int flags)
{
    const int code = methods(file)->xSync(inner(file), flags);
    if (code == SQLITE_OK && cutFile(file)->path) {
        Unsynced& state = unsynced();
        const std::lock_guard lock(state.mutex);
        state.files.erase(*cutFile(file)->path);
    }
    return code;
}

int fileSize(sqlite3_file* file, sqlite3_int64* size) { return methods(file)->xFileSize(inner(file), size); }
int lockFile(sqlite3_file* file, int level) { return methods(file)->xLock(inner(file), level); }
int unlockFile(sqlite3_file* file, int level) { return methods(file)->xUnlock(inner(file), level); }
int checkReservedLock(sqlite3_file* file, int* out) { return methods(file)->xCheckReservedLock(inner(file), out); }

int fileControl(sqlite3_file* file, int op, void* argument)
{
    // A size hint may grow the file without a write: its end is remembered like one.
    if (op == SQLITE_FCNTL_SIZE_HINT)
        remember(file, *static_cast<sqlite3_int64*>(argument), 0);
    return methods(file)->xFileControl(inner(file), op, argument);
}

int sectorSize(sqlite3_file* file) { return methods(file)->xSectorSize(inner(file)); }
int deviceCharacteristics(sqlite3_file* file) { return methods(file)->xDeviceCharacteristics(inner(file)); }
int shmMap(sqlite3_file* file, int region, int size, int extend, void volatile** out)
{
    return methods(file)->xShmMap(inner(file), region, size, extend, out);
}
int shmLock(sqlite3_file* file, int offset, int n, int flags) { return methods(file)->xShmLock(inner(file), offset, n, flags); }
void shmBarrier(sqlite3_file* file) { methods(file)->xShmBarrier(inner(file)); }
int shmUnmap(sqlite3_file* file, int deleteFlag) { return methods(file)->xShmUnmap(inner(file), deleteFlag); }
int fetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** out)
{
    return methods(file)->xFetch(inner(file), offset, amount, out);
}
int unfetch(sqlite3_file* file, sqlite3_int64 offset, void* page) { return methods(file)->xUnfetch(inner(file), offset, page); }

const sqlite3_io_methods kMethods = {3, closeFile, readFile, writeFile, truncateFile, syncFile, fileSize, lockFile, unlockFile, checkReservedLock,
    fileControl, sectorSize, deviceCharacteristics, shmMap, shmLock, shmBarrier, shmUnmap, fetch, unfetch};

int openFile(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    CutFile* self = cutFile(file);
    self->base.pMethods = nullptr;
    self->path = nullptr;
    const int code = real()->xOpen(real(), name, self->inner(), flags, outFlags);
    if (self->inner()->pMethods) {
        // Files the default file system opens with fewer methods (no shared memory) are not ours to have.
        if (self->inner()->pMethods->iVersion < kMethods.iVersion)
            std::abort();
        self->base.pMethods = &kMethods;
        if (name)
            self->path = new std::string(name);
    }
    return code;
}

int removeFile(sqlite3_vfs*, const char* name, int syncFolder)
{
    {
        Unsynced& state = unsynced();
        const std::lock_guard lock(state.mutex);
        state.files.erase(name);
    }
    return real()->xDelete(real(), name, syncFolder);
}

int accessFile(sqlite3_vfs*, const char* name, int flags, int* out) { return real()->xAccess(real(), name, flags, out); }
int fullPathname(sqlite3_vfs*, const char* name, int size, char* out) { return real()->xFullPathname(real(), name, size, out); }
void* dlOpen(sqlite3_vfs*, const char* name) { return real()->xDlOpen(real(), name); }
void dlError(sqlite3_vfs*, int size, char* out) { real()->xDlError(real(), size, out); }
void (*dlSym(sqlite3_vfs*, void* library, const char* symbol))(void) { return real()->xDlSym(real(), library, symbol); }
void dlClose(sqlite3_vfs*, void* library) { real()->xDlClose(real(), library); }
int randomness(sqlite3_vfs*, int size, char* out) { return real()->xRandomness(real(), size, out); }
int sleepFor(sqlite3_vfs*, int microseconds) { return real()->xSleep(real(), microseconds); }
int currentTime(sqlite3_vfs*, double* out) { return real()->xCurrentTime(real(), out); }
int lastError(sqlite3_vfs*, int size, char* out) { return real()->xGetLastError(real(), size, out); }
int currentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) { return real()->xCurrentTimeInt64(real(), out); }

} // namespace

void PowerCutVfs::install()
{
    // Registered by its address, which has to last.
    static sqlite3_vfs* const vfs = [] {
        auto* made = new sqlite3_vfs{};
        made->iVersion = 2;
        made->szOsFile = int(sizeof(CutFile)) + real()->szOsFile;
        made->mxPathname = real()->mxPathname;
        made->zName = kName;
        made->xOpen = openFile;
        made->xDelete = removeFile;
        made->xAccess = accessFile;
        made->xFullPathname = fullPathname;
        made->xDlOpen = dlOpen;
        made->xDlError = dlError;
        made->xDlSym = dlSym;
        made->xDlClose = dlClose;
        made->xRandomness = randomness;
        made->xSleep = sleepFor;
        made->xCurrentTime = currentTime;
        made->xGetLastError = lastError;
        made->xCurrentTimeInt64 = currentTimeInt64;
        sqlite3_vfs_register(made, 0);
        return made;
    }();
    (void)vfs;
}

void PowerCutVfs::cutAfterWrite(std::int64_t write) { cutAt = write; }

std::int64_t PowerCutVfs::writes() { return writeCount.load(); }
