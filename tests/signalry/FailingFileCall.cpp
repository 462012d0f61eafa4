#include "FailingFileCall.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
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

// The error to report for `call` on `fd`, or 0 when it is to go through.
int injected(FailingFileCall::Call call, int fd)
{
    Fault& f = fault();
    if (!f.armed.load(std::memory_order_acquire))
        return 0;
    char target[4096];
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t length = ::readlink(self.constData(), target, sizeof target);
    std::lock_guard lock(f.mutex);
    if (call != f.call || length <= 0 || !QByteArrayView(target, length).startsWith(f.folder))
        return 0;
    ++f.failures;
    return f.error;
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
