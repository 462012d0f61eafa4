#include "engine/StagedFile.h"

#include "platform/FileError.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }
} // namespace

StagedFile::StagedFile(QString destination)
    : destination_(std::move(destination)), staging_(destination_ + QStringLiteral(".part"))
{
}

StagedFile::~StagedFile()
{
    if (!committed_)
        QFile::remove(staging_);
}

void StagedFile::write(const QByteArray& bytes)
{
    QFile file(staging_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush())
        throw FileError(staging_, QStringLiteral("cannot be written (%1)").arg(file.errorString()));
}

void StagedFile::copyFrom(const QString& source)
{
    // QFile::copy refuses to overwrite: a staging file left by an earlier crash goes first.
    QFile::remove(staging_);
    QFile input(source);
    if (!input.copy(staging_))
        throw FileError(source, QStringLiteral("cannot be copied to %1 (%2)").arg(staging_, input.errorString()));
}

void StagedFile::commit()
{
    sync();
    // rename(2) replaces the destination in one step; QFile::rename would remove it first.
    if (std::rename(QFile::encodeName(staging_).constData(), QFile::encodeName(destination_).constData()) != 0)
        throw FileError(destination_, QStringLiteral("cannot be replaced (%1)").arg(systemError()));
    committed_ = true;
}

// The data reaches the disk before the rename makes it visible, so a power cut cannot leave an
// empty file under the destination's name.
void StagedFile::sync() const
{
    const int descriptor = ::open(QFile::encodeName(staging_).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        throw FileError(staging_, QStringLiteral("cannot be opened (%1)").arg(systemError()));
    const bool synced = ::fsync(descriptor) == 0;
    const QString reason = synced ? QString() : systemError();
    ::close(descriptor);
    if (!synced)
        throw FileError(staging_, QStringLiteral("cannot be flushed to disk (%1)").arg(reason));
}
