#include "updater/BundleReplacer.h"

#include "foundation/Log.h"
#include "platform/ApplicationBundle.h"
#include "platform/FileError.h"
#include "platform/ProcessRunner.h"
#include "updater/UpdateError.h"
#include "updater/UpdaterFolders.h"

#include <QCoro/QCoroFuture>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
constexpr int kUnzipTimeoutMs = 5 * 60'000;

void log(const QString& emoji, const QString& message) { logLine(emoji, QStringLiteral("UpdateCheckService"), message); }

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

// Runs `work` on a pool thread; what it throws is thrown here, on the caller's thread.
QCoro::Task<> onPool(std::function<void()> work)
{
    QFuture<std::exception_ptr> done = QtConcurrent::run([work = std::move(work)]() -> std::exception_ptr {
        try {
            work();
            return nullptr;
        } catch (...) {
            return std::current_exception();
        }
    });
    const std::exception_ptr failure = co_await done;
    if (failure)
        std::rethrow_exception(failure);
}

// An empty hidden folder beside `destination`, on the same file system so that a rename can
// swap it in.
QString makeStagingFolder(const QString& destination)
{
    const QFileInfo target(destination);
    const QString parent = target.absolutePath();
    if (!QDir().mkpath(parent))
        throw FileError(parent, QStringLiteral("cannot be created"));
    QTemporaryDir staging(parent + QStringLiteral("/.") + target.fileName() + QStringLiteral(".incoming-XXXXXX"));
    if (!staging.isValid())
        throw FileError(parent, QStringLiteral("cannot be written (%1)").arg(staging.errorString()));
    staging.setAutoRemove(false);
    return staging.path();
}

void copyLink(const QString& source, const QString& target)
{
    QByteArray link(4096, '\0');
    const ssize_t length = ::readlink(QFile::encodeName(source).constData(), link.data(), size_t(link.size()));
    if (length < 0 || length >= link.size())
        throw FileError(source, QStringLiteral("cannot be read (%1)").arg(systemError()));
    link.truncate(length);
    if (::symlink(link.constData(), QFile::encodeName(target).constData()) != 0)
        throw FileError(target, QStringLiteral("cannot be created (%1)").arg(systemError()));
}

// Copies the tree below `source` into the existing folder `target`: folders, files with their
// permissions, and links as links. Anything else (a pipe, a device) is no part of a bundle.
// Folder permissions are applied last, so that a read-only folder can still be filled.
void copyTree(const QString& source, const QString& target)
{
    const QDir root(source);
    if (!root.isReadable())
        throw FileError(source, QStringLiteral("cannot be read"));
    QList<std::pair<QString, QFileDevice::Permissions>> folders{{target, QFileInfo(source).permissions()}};
    QDirIterator entries(source, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QFileInfo entry(entries.next());
        const QString copy = target + u'/' + root.relativeFilePath(entry.filePath());
        if (!QDir().mkpath(QFileInfo(copy).path()))
            throw FileError(copy, QStringLiteral("cannot be created"));
        if (entry.isSymLink()) {
            copyLink(entry.filePath(), copy);
        } else if (entry.isDir()) {
            if (!QDir().mkpath(copy))
                throw FileError(copy, QStringLiteral("cannot be created"));
            folders.append({copy, entry.permissions()});
        } else if (entry.isFile()) {
            QFile file(entry.filePath());
            if (!file.copy(copy))
                throw FileError(entry.filePath(), QStringLiteral("cannot be copied (%1)").arg(file.errorString()));
        } else {
            throw FileError(entry.filePath(), QStringLiteral("is not a file, folder or link"));
        }
    }
    for (auto folder = folders.crbegin(); folder != folders.crend(); ++folder)
        QFile::setPermissions(folder->first, folder->second);
}

bool isInside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + u'/');
}

// A link in a bundle may only lead to another part of it: one that leads out would make the
// installed application run, or read, whatever is there.
void requireLinksInside(const QString& staging, const QString& source)
{
    const QString root = QFileInfo(staging).canonicalFilePath();
    QDirIterator entries(staging, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QFileInfo entry(entries.next());
        if (!entry.isSymLink())
            continue;
        const QString target = entry.symLinkTarget();
        // Read twice: as written, and as the file system resolves it through other links.
        const QString canonical = entry.canonicalFilePath();
        if (!isInside(target, staging) || (!canonical.isEmpty() && !isInside(canonical, root))) {
            log(QStringLiteral("❌"), QStringLiteral("Refusing an app bundle with a link that leads outside it: ")
                    + QDir(staging).relativeFilePath(entry.filePath()) + QStringLiteral(" in ") + source);
            throw UpdateError(QStringLiteral("App bundle links outside itself"));
        }
    }
}

void requireProgram(const QString& staging, const QString& source)
{
    const QFileInfo program(ApplicationBundle::programPath(staging));
    if (!program.isFile() || !program.isExecutable()) {
        log(QStringLiteral("❌"), QStringLiteral("Not an app bundle (no ") + ApplicationBundle::kProgram
                + QStringLiteral("): ") + source);
        throw UpdateError(QStringLiteral("Not an app bundle"));
    }
}

void rename(const QString& from, const QString& to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw FileError(from, QStringLiteral("cannot be moved to %1 (%2)").arg(to, systemError()));
}

// Moves the complete bundle in `staging` to `destination`, keeping the installed one until the
// new one is in place.
void swapIn(const QString& staging, const QString& destination)
{
    const QFileInfo installed(destination);
    if (!installed.exists() && !installed.isSymLink()) {
        rename(staging, destination);
        return;
    }
    const QString previous = staging + QStringLiteral(".previous");
    rename(destination, previous);
    try {
        rename(staging, destination);
    } catch (...) {
        rename(previous, destination);
        throw;
    }
    UpdaterFolders::remove(previous);
    if (QFileInfo::exists(previous))
        log(QStringLiteral("⚠️"), QStringLiteral("Could not remove the previous app bundle at ") + previous);
}

// Checks and swaps in the filled staging folder; on any failure the staging folder goes.
void finish(const QString& staging, const QString& source, const QString& destination)
{
    try {
        requireLinksInside(staging, source);
        requireProgram(staging, source);
        swapIn(staging, destination);
    } catch (...) {
        UpdaterFolders::remove(staging);
        throw;
    }
}
} // namespace

QCoro::Task<> BundleReplacer::copy(QString source, QString destination)
{
    std::function<void()> work = [source, destination] {
        // A bundle that is itself a link would be copied from wherever it points.
        if (QFileInfo(source).isSymLink()) {
            log(QStringLiteral("❌"), QStringLiteral("Refusing an app bundle that is a link: ") + source);
            throw UpdateError(QStringLiteral("App bundle links outside itself"));
        }
        const QString staging = makeStagingFolder(destination);
        try {
            copyTree(source, staging);
        } catch (...) {
            UpdaterFolders::remove(staging);
            throw;
        }
        finish(staging, source, destination);
    };
    co_await onPool(std::move(work));
}

QCoro::Task<> BundleReplacer::unpack(QString archive, QString destination)
{
    const QString staging = makeStagingFolder(destination);
    QFile::setPermissions(staging, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
            | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    const QStringList arguments{QStringLiteral("-q"), archive, QStringLiteral("-d"), staging};
    const ProcessResult unzipped = co_await ProcessRunner::shared().run(QStringLiteral("unzip"), arguments, kUnzipTimeoutMs);
    if (!unzipped.succeeded()) {
        std::function<void()> cleanUp = [staging] { UpdaterFolders::remove(staging); };
        co_await onPool(std::move(cleanUp));
        if (unzipped.failedToStart)
            throw MessageError(unzipped.errorMessage);
        log(QStringLiteral("❌"), QStringLiteral("Failed to unpack app bundle, exit code: ") + QString::number(unzipped.exitCode));
        throw UpdateError(QStringLiteral("Failed to unpack app bundle"));
    }
    std::function<void()> swap = [staging, archive, destination] { finish(staging, archive, destination); };
    co_await onPool(std::move(swap));
}
