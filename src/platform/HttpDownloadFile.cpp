#include "platform/HttpDownloadFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr mode_t kFileMode = 0666; // less the umask, as any file the user makes
// A synced file's bytes go to the disk in runs of this size while the transfer goes on.
constexpr qint64 kWritebackBytes = qint64(8) << 20;
}

HttpDownloadFile::HttpDownloadFile(QString destination, DownloadDurability durability)
    : destination_(std::move(destination))
    , durability_(durability)
{
}

HttpDownloadFile::~HttpDownloadFile()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!named_.isEmpty())
        ::unlink(QFile::encodeName(named_).constData());
}

QString HttpDownloadFile::stagingName() const
{
    return destination_ + QStringLiteral(".%1.part").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

bool HttpDownloadFile::fail()
{
    outOfSpace_ = errno == ENOSPC || errno == EDQUOT;
    error_ = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool HttpDownloadFile::open()
{
    const QByteArray folder = QFile::encodeName(QFileInfo(destination_).absolutePath());
    fd_ = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, kFileMode);
    if (fd_ >= 0)
        return true;
    // Only a file system without unnamed files takes the named way; a missing or read-only
    // folder fails the same there.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return fail();
    named_ = stagingName();
    fd_ = ::open(QFile::encodeName(named_).constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, kFileMode);
    if (fd_ < 0) {
        named_.clear();
        return fail();
    }
    return true;
}

bool HttpDownloadFile::write(const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fail();
        }
        data += written;
        size -= written;
        written_ += written;
    }
    if (durability_ == DownloadDurability::Synced && written_ - sentToDisk_ >= kWritebackBytes) {
        // Only starts the writes; a failure among them is told by commit()'s sync.
        ::sync_file_range(fd_, sentToDisk_, written_ - sentToDisk_, SYNC_FILE_RANGE_WRITE);
        sentToDisk_ = written_;
    }
    return true;
}

bool HttpDownloadFile::commit()
{
    // A disk that filled up or failed behind the writes says so here, before the old file goes.
    if (durability_ == DownloadDurability::Synced && ::fdatasync(fd_) != 0)
        return fail();
    if (named_.isEmpty()) {
        // linkat cannot replace a file: the unnamed file gets a name of its own first.
        const QString name = stagingName();
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd_);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, QFile::encodeName(name).constData(), AT_SYMLINK_FOLLOW) != 0)
            return fail();
        named_ = name;
    }
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0)
        return fail();
    // rename(2) replaces the destination in one step.
    if (std::rename(QFile::encodeName(named_).constData(), QFile::encodeName(destination_).constData()) != 0)
        return fail();
    named_.clear();
    return true;
}
