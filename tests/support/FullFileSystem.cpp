#include "support/FullFileSystem.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {
QByteArray tmpfsOptions(int megabytes) { return "size=" + QByteArray::number(megabytes) + "m,mode=0700"; }

QString fillerPath(const QString& folder) { return folder + QStringLiteral("/filler"); }
} // namespace

void FullFileSystem::keepMountsPrivate()
{
    // Without private propagation a mount would reach the namespace this one came from: none is
    // made then.
    privateMounts_ = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

FullFileSystem::FullFileSystem(int megabytes)
{
    if (privateMounts_)
        mounted_ = ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                       tmpfsOptions(megabytes).constData())
            == 0;
}

bool FullFileSystem::grow(int megabytes)
{
    return mounted_
        && ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", MS_REMOUNT | MS_NOSUID | MS_NODEV,
               tmpfsOptions(megabytes).constData())
        == 0;
}

FullFileSystem::~FullFileSystem()
{
    free();
    if (mounted_)
        ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
}

void FullFileSystem::fill(qint64 leftBytes)
{
    if (isTmpfs()) {
        QFile filler(fillerPath(path()));
        ASSERT_TRUE(filler.open(QIODevice::Append | QIODevice::Unbuffered));
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
        ASSERT_TRUE(filler.resize(std::max<qint64>(0, filler.size() - leftBytes)));
        return;
    }
    if (limited_)
        return;
    // A write past the limit fails with EFBIG and, unless ignored, ends the process.
    std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit_), 0);
    rlimit none = limit_;
    none.rlim_cur = 0;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &none), 0);
    limited_ = true;
}

void FullFileSystem::free()
{
    if (isTmpfs()) {
        QFile::remove(fillerPath(path()));
    } else if (limited_) {
        ::setrlimit(RLIMIT_FSIZE, &limit_);
        limited_ = false;
    }
}
