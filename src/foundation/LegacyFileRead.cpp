#include "foundation/LegacyFileRead.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
LegacyFileRead::Result failed(const QString& reason)
{
    return {LegacyFileRead::Result::Outcome::Failed, {}, reason};
}

QString systemReason(int code) { return QString::fromLocal8Bit(std::strerror(code)); }
} // namespace

LegacyFileRead::Result LegacyFileRead::read(const QString& path, Links links)
{
    using Outcome = Result::Outcome;
    // Non-blocking, so that a pipe in the file's place is found by its type instead of waited on.
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (links == Links::Refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR)
            return {};
        if (code == ELOOP && links == Links::Refuse)
            return {Outcome::Link, {}, {}};
        return failed(systemReason(code));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int code = errno;
        ::close(fd);
        return failed(systemReason(code));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return failed(QStringLiteral("it is not a file"));
    }
    // Planted in a folder others could write to: not the user's settings.
    if (info.st_uid != ::geteuid()) {
        ::close(fd);
        return {Outcome::Foreign, {}, {}};
    }
    // The size said when opened; a file that grows meanwhile is read to its end all the same.
    QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
    qsizetype at = 0;
    for (;;) {
        if (at == bytes.size())
            bytes.resize(bytes.size() + (64 << 10));
        const ssize_t got = ::read(fd, bytes.data() + at, size_t(bytes.size() - at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int code = errno;
            ::close(fd);
            return failed(systemReason(code));
        }
        if (got == 0)
            break;
        at += got;
    }
    ::close(fd);
    bytes.truncate(at);
    return {Outcome::Read, std::move(bytes), {}};
}
