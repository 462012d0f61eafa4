#include "pictor/retrieval/LocalImageFile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pictor {

Result<int, QString> LocalImageFile::open(const QString& path)
{
    using R = Result<int, QString>;
    // Opened without waiting, as a FIFO's open waits for a writer, and judged by what was opened:
    // whatever the path named a moment before, or names a moment after, only what is open is read.
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return R::failure(QStringLiteral("%1: %2").arg(path, qt_error_string(errno)));
    struct stat opened {};
    if (::fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(descriptor);
        return R::failure(QStringLiteral("%1 is not a file").arg(path));
    }
    return R::success(descriptor);
}

Result<QByteArray, QString> LocalImageFile::read(const QString& path)
{
    using R = Result<QByteArray, QString>;
    const Result<int, QString> opened = open(path);
    if (opened.isFailure())
        return R::failure(opened.error());
    QFile file;
    if (!file.open(opened.value(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(opened.value());
        return R::failure(QStringLiteral("%1: %2").arg(path, file.errorString()));
    }
    // As far as the file reaches once open: one still being written is read no further.
    const qint64 size = file.size();
    if (size > kMaximumBytes)
        return R::failure(QStringLiteral("%1 holds %2 bytes, more than the %3 read").arg(path).arg(size).arg(kMaximumBytes));
    QByteArray bytes = file.read(size);
    if (file.error() != QFileDevice::NoError)
        return R::failure(QStringLiteral("%1: %2").arg(path, file.errorString()));
    return R::success(std::move(bytes));
}

} // namespace pictor
