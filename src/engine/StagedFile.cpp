#include "engine/StagedFile.h"

#include "foundation/CancelledError.h"
#include "platform/FileError.h"

#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace {
QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }
// A stop is seen between blocks; a MiB takes milliseconds even on a slow disk.
constexpr size_t kBlockBytes = size_t(1) << 20;
// What of a copy may wait in memory for the disk, behind the block being copied.
constexpr off_t kInFlightBytes = off_t(16) << 20;
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

void StagedFile::copyFrom(const QString& source, const CopyProgress& progress)
{
    // A staging file left by an earlier crash is replaced.
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        throw FileError(source, QStringLiteral("cannot be read (%1)").arg(input.errorString()));
    QFile output(staging_);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw FileError(staging_, QStringLiteral("cannot be written (%1)").arg(output.errorString()));
    const int to = output.handle();
    // Room for the whole copy is taken at once: the blocks lie together, the disk writes them
    // faster, and a full disk fails here rather than after most of the copy. File systems
    // without it simply allocate as the copy goes.
    if (::fallocate(to, FALLOC_FL_KEEP_SIZE, 0, input.size()) != 0 && errno == ENOSPC)
        throw FileError(staging_, QStringLiteral("cannot be written (%1)").arg(systemError()));
    try {
        copyBlocks(input, output, progress);
    } catch (...) {
        discardOpen(output);
        throw;
    }
    output.setPermissions(input.permissions());
}

void StagedFile::copyBlocks(QFile& input, QFile& output, const CopyProgress& progress)
{
    // The kernel copies without the bytes passing through this process, as cp does; where it
    // cannot (another file system type, an old kernel), the blocks go through memory.
    const QString source = input.fileName();
    const int from = input.handle();
    const int to = output.handle();
    bool kernelCopy = true;
    std::vector<char> block;
    off_t done = 0;
    off_t released = 0;
    for (;;) {
        ssize_t copied = -1;
        if (kernelCopy) {
            copied = ::copy_file_range(from, nullptr, to, nullptr, kBlockBytes, 0);
            if (copied < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                kernelCopy = false;
                block.resize(kBlockBytes);
                continue;
            }
        } else {
            copied = ::read(from, block.data(), block.size());
            for (ssize_t written = 0; copied > 0 && written < copied;) {
                const ssize_t step = ::write(to, block.data() + written, size_t(copied - written));
                if (step < 0 && errno != EINTR)
                    throw FileError(staging_, QStringLiteral("cannot be written (%1)").arg(systemError()));
                written += std::max<ssize_t>(step, 0);
            }
        }
        if (copied == 0)
            break;
        if (copied < 0 && errno != EINTR)
            throw FileError(source, QStringLiteral("cannot be copied to %1 (%2)").arg(staging_, systemError()));
        if (copied > 0) {
            // The disk starts on each block while the next is copied, so the flush in commit()
            // finds little left to write. Only a hint: sync() reports the failures.
            ::sync_file_range(to, done, copied, SYNC_FILE_RANGE_WRITE);
            done += copied;
            // What the disk holds already leaves memory: a copy of gigabytes would otherwise
            // push the rest of the system's files out of it, and a stopped copy would spend
            // its stop freeing them. The copy goes no faster than the disk writes, which the
            // flush at its end would wait for anyway.
            if (const off_t settled = done - kInFlightBytes; settled > released) {
                ::sync_file_range(to, released, settled - released,
                    SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
                ::posix_fadvise(to, released, settled - released, POSIX_FADV_DONTNEED);
                released = settled;
            }
            if (progress && !progress(done, input.size()))
                throw CancelledError();
        }
    }
}

void StagedFile::discardOpen(QFile& output)
{
    // The blocks already handed to the disk must be written before the file's space is freed,
    // which can take seconds on a slow disk: the name goes at once, and the last descriptor,
    // whose closing waits for them, is closed on a pool thread, so a stop ends the copy now.
    QFile::remove(staging_);
    const int last = ::dup(output.handle());
    output.close();
    if (last >= 0)
        QThreadPool::globalInstance()->start([last] { ::close(last); });
}

void StagedFile::commit(DownloadDurability durability)
{
    if (durability == DownloadDurability::Synced)
        sync();
    // rename(2) replaces the destination in one step; QFile::rename would remove it first.
    if (std::rename(QFile::encodeName(staging_).constData(), QFile::encodeName(destination_).constData()) != 0)
        throw FileError(destination_, QStringLiteral("cannot be replaced (%1)").arg(systemError()));
    committed_ = true;
}

void StagedFile::commitTogether(const QList<StagedFile*>& files, const std::function<void(const StagedFile&)>& afterEach)
{
    struct Committed {
        QString destination;
        QString previous; // empty: there was no earlier file
    };
    QList<Committed> committed;
    try {
        for (StagedFile* file : files) {
            if (!file)
                continue;
            Committed done{file->destination_, {}};
            if (QFileInfo::exists(done.destination)) {
                done.previous = done.destination + QStringLiteral(".previous.part");
                QFile::remove(done.previous);
                // A second name for the earlier file costs nothing; a copy is the fallback where
                // the file system has no hard links.
                if (::link(QFile::encodeName(done.destination).constData(), QFile::encodeName(done.previous).constData()) != 0
                    && !QFile::copy(done.destination, done.previous))
                    throw FileError(done.destination, QStringLiteral("cannot be kept aside (%1)").arg(systemError()));
            }
            try {
                file->commit();
            } catch (...) {
                if (!done.previous.isEmpty())
                    QFile::remove(done.previous);
                throw;
            }
            committed.append(done);
            if (afterEach)
                afterEach(*file);
        }
    } catch (...) {
        for (auto done = committed.crbegin(); done != committed.crend(); ++done) {
            if (done->previous.isEmpty())
                QFile::remove(done->destination);
            else
                std::rename(QFile::encodeName(done->previous).constData(), QFile::encodeName(done->destination).constData());
        }
        throw;
    }
    for (const Committed& done : committed) {
        if (!done.previous.isEmpty())
            QFile::remove(done.previous);
    }
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
