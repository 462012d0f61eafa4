#include "FailingFileCall.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cstdarg>
#include <climits>
#include <cstdlib>
#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {
struct Fault {
    std::mutex mutex;
    std::atomic<bool> armed{false};
    FailingFileCall::Call call = FailingFileCall::Call::Fsync;
    QByteArray folder;
    int error = 0;
    int failures = 0;
};

// Never destroyed: descriptors are closed until the process is gone.
Fault& fault()
{
    static Fault* instance = new Fault;
    return *instance;
}

// The error to report for `call` on the file at `target`, or 0 when it is to go through.
int injected(FailingFileCall::Call call, QByteArrayView target)
{
    Fault& f = fault();
    std::lock_guard lock(f.mutex);
    if (call != f.call || !target.startsWith(f.folder))
        return 0;
    ++f.failures;
    return f.error;
}

int injected(FailingFileCall::Call call, int fd)
{
    if (!fault().armed.load(std::memory_order_acquire))
        return 0;
    char target[4096];
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t length = ::readlink(self.constData(), target, sizeof target);
    return length > 0 ? injected(call, QByteArrayView(target, length)) : 0;
}

int injected(FailingFileCall::Call call, const char* path)
{
    if (!fault().armed.load(std::memory_order_acquire))
        return 0;
    // The folder as the descriptors' links would name it.
    const QByteArrayView name(path);
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? name.first(slash).toByteArray() : QByteArray(".");
    char resolved[PATH_MAX];
    if (!::realpath(folder.constData(), resolved))
        return 0;
    const QByteArray target = QByteArray(resolved) + '/' + name.sliced(slash + 1);
    return injected(call, QByteArrayView(target));
}

template <typename Function>
Function real(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}
} // namespace

extern "C" int fsync(int fd)
{
    static const auto next = real<int (*)(int)>("fsync");
    if (const int error = injected(FailingFileCall::Call::Fsync, fd)) {
        errno = error;
        return -1;
    }
    return next(fd);
}

extern "C" int close(int fd)
{
    static const auto next = real<int (*)(int)>("close");
    const int error = injected(FailingFileCall::Call::Close, fd);
    const int result = next(fd);
    if (error == 0)
        return result;
    errno = error;
    return -1;
}

extern "C" int open(const char* path, int flags, ...)
{
    static const auto next = real<int (*)(const char*, int, ...)>("open");
    mode_t mode = 0;
    if (__OPEN_NEEDS_MODE(flags)) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);
        va_end(arguments);
    }
    if (const int error = injected(FailingFileCall::Call::Open, path)) {
        errno = error;
        return -1;
    }
    return next(path, flags, mode);
}

extern "C" ssize_t read(int fd, void* buffer, size_t count)
{
    static const auto next = real<ssize_t (*)(int, void*, size_t)>("read");
    if (const int error = injected(FailingFileCall::Call::Read, fd)) {
        errno = error;
        return -1;
    }
    return next(fd, buffer, count);
}

FailingFileCall::FailingFileCall(Call call, const QString& folder, int error)
{
    Fault& f = fault();
    std::lock_guard lock(f.mutex);
    f.call = call;
    // As the descriptors' links name it.
    f.folder = QFile::encodeName(QFileInfo(folder).canonicalFilePath()) + '/';
    f.error = error;
    f.failures = 0;
    f.armed.store(true, std::memory_order_release);
}

FailingFileCall::~FailingFileCall() { fault().armed.store(false, std::memory_order_release); }

int FailingFileCall::failures() const
{
    std::lock_guard lock(fault().mutex);
    return fault().failures;
}
