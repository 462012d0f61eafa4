#include "updater/UpdaterFolders.h"

#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "platform/FileError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace UpdaterFolders {

namespace {
// A folder that only this user can enter, and that is no link.
bool isPrivateFolder(const QString& path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    return S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() && (status.st_mode & 077) == 0;
}

QString madeFresh(const QString& base)
{
    QByteArray pattern = QFile::encodeName(base + QStringLiteral("/quorvelle-update-XXXXXX"));
    // mkdtemp makes a new folder with mode 0700, never one that was there.
    if (::mkdtemp(pattern.data()) == nullptr)
        throw FileError(base, QStringLiteral("cannot hold a private folder (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
    return QFile::decodeName(pattern);
}
} // namespace

QString cachesFolder()
{
    const QString caches = Paths::caches();
    return caches.isEmpty() ? QString() : caches + u'/' + kApplicationIdentifier;
}

bool clearCaches()
{
    const QString folder = cachesFolder();
    return folder.isEmpty() || remove(folder);
}

QString workFolder()
{
    // The runtime folder is private already; the temporary folder is the fallback when it is
    // missing or unusable.
    QString base = Paths::runtime();
    if (!isPrivateFolder(base) && base != Paths::temporary())
        base = Paths::temporary();
    const QString fixed = base + QStringLiteral("/quorvelle-update-") + QString::number(::geteuid());
    ::mkdir(QFile::encodeName(fixed).constData(), 0700);
    if (isPrivateFolder(fixed))
        return fixed;
    // Someone else's entry at our name in a shared folder: a fresh folder of our own, the same
    // one for the rest of this run.
    static std::mutex mutex;
    static QHash<QString, QString> fresh;
    std::lock_guard lock(mutex);
    QString& made = fresh[base];
    if (made.isEmpty() || !isPrivateFolder(made)) {
        made = madeFresh(base);
        logLine(QStringLiteral("⚠️"), QStringLiteral("UpdateCheckService"),
            QStringLiteral("%1 is not a private folder, working in %2 instead").arg(fixed, made));
    }
    return made;
}

bool remove(const QString& path)
{
    const QFileInfo entry(path);
    if (entry.isDir() && !entry.isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
    const QFileInfo left(path);
    return !left.exists() && !left.isSymLink();
}

} // namespace UpdaterFolders
