#include "platform/ProfileLock.h"

#include "foundation/Paths.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A record is a socket's path and a newline; anything longer is not one.
constexpr qsizetype kMaxRecordBytes = 4096;

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Why the lock file at `path` could not be opened, in the user's terms.
QString openFailure(const QString& path, int error)
{
    switch (error) {
    case ELOOP:
        return path + QStringLiteral(" is a symbolic link");
    case EISDIR:
        return path + QStringLiteral(" is a folder");
    default:
        return path + QStringLiteral(" cannot be opened (") + systemError(error) + u')';
    }
}
} // namespace

ProfileLock::ProfileLock(QString folder) : folder_(std::move(folder)) {}

ProfileLock::~ProfileLock()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

QString ProfileLock::path() const { return folder_ + QStringLiteral("/quorvelle.lock"); }

void ProfileLock::release()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
}

ProfileLock::State ProfileLock::tryTake()
{
    if (descriptor_ >= 0)
        return State::taken;
    reason_.clear();
    if (!Paths::makePrivateFolder(folder_, &reason_))
        return State::unavailable;
    const QString lockPath = path();
    // A link planted at the name is not followed; the descriptor stays out of the programs we start.
    const int descriptor = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        reason_ = openFailure(lockPath, errno);
        return State::unavailable;
    }
    struct stat info = {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode))
        reason_ = lockPath + QStringLiteral(" is not a plain file");
    else if (info.st_uid != ::geteuid())
        reason_ = lockPath + QStringLiteral(" belongs to another user");
    else if ((info.st_mode & 077) != 0 && ::fchmod(descriptor, 0600) != 0)
        reason_ = lockPath + QStringLiteral(" cannot be made private (") + systemError(errno) + u')';
    else if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
        descriptor_ = descriptor;
        // The last holder's channel is gone with it: launches wait for this holder's own. A file
        // that cannot be cleared cannot take the new record either, which the holder tells.
        [[maybe_unused]] const int cleared = ::ftruncate(descriptor_, 0);
        return State::taken;
    } else if (errno == EWOULDBLOCK) {
        ::close(descriptor);
        return State::heldElsewhere;
    } else {
        reason_ = lockPath + QStringLiteral(" cannot be locked (") + systemError(errno) + u')';
    }
    ::close(descriptor);
    return State::unavailable;
}

bool ProfileLock::recordChannel(const QString& serverName)
{
    if (descriptor_ < 0)
        return false;
    // One write of the whole line: a launch takes only a line that has its newline.
    const QByteArray record = QFile::encodeName(serverName) + '\n';
    return ::ftruncate(descriptor_, 0) == 0 && ::pwrite(descriptor_, record.constData(), size_t(record.size()), 0) == record.size();
}

std::optional<QString> ProfileLock::recordedChannel() const
{
    const int descriptor = ::open(QFile::encodeName(path()).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0)
        return std::nullopt;
    QByteArray record(kMaxRecordBytes + 1, Qt::Uninitialized);
    const ssize_t size = ::pread(descriptor, record.data(), size_t(record.size()), 0);
    ::close(descriptor);
    if (size <= 0 || size > kMaxRecordBytes || record.at(size - 1) != '\n')
        return std::nullopt;
    return QFile::decodeName(record.left(size - 1));
}
