#include "PassingFileFault.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {
QString kept(const QString& path) { return path + QStringLiteral(".kept"); }
} // namespace

PassingFileFault::PassingFileFault(Kind kind, const QString& path) : kind_(kind), path_(path)
{
    const QString folder = QFileInfo(path).absolutePath();
    switch (kind_) {
    case Kind::TooManyOpenFiles:
        failingCalls_.emplace(FailingFileCall::Call::Open, folder, EMFILE);
        break;
    case Kind::IoError:
        failingCalls_.emplace(FailingFileCall::Call::Read, folder, EIO);
        break;
    case Kind::DirectoryInPlace:
        EXPECT_TRUE(QFile::rename(path, kept(path)));
        EXPECT_TRUE(QDir().mkdir(path));
        break;
    }
}

PassingFileFault::~PassingFileFault()
{
    if (failingCalls_) {
        EXPECT_GT(failingCalls_->failures(), 0) << "the file was never read";
        return;
    }
    EXPECT_TRUE(QDir().rmdir(path_));
    EXPECT_TRUE(QFile::rename(kept(path_), path_));
}

QString PassingFileFault::name(Kind kind)
{
    switch (kind) {
    case Kind::TooManyOpenFiles:
        return QStringLiteral("too-many-open-files");
    case Kind::IoError:
        return QStringLiteral("io-error");
    case Kind::DirectoryInPlace:
        return QStringLiteral("directory-in-place");
    }
    return {};
}

QString PassingFileFault::reason(Kind kind)
{
    const int error = kind == Kind::TooManyOpenFiles ? EMFILE : kind == Kind::IoError ? EIO : EISDIR;
    return QString::fromLocal8Bit(std::strerror(error));
}
