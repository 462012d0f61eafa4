#include "foundation/Paths.h"

#include "foundation/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString& overrideRoot()
{
    static QString root;
    return root;
}

QString xdgFolder(const char* variable, const QString& fallbackUnderHome)
{
    const QString value = qEnvironmentVariable(variable);
    // XDG asks to ignore relative paths.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::homePath() + QLatin1Char('/') + fallbackUnderHome;
}

QString underOverride(const char* name) { return overrideRoot() + QLatin1Char('/') + QLatin1String(name); }
} // namespace

QString Paths::caches()
{
    return overrideRoot().isEmpty() ? xdgFolder("XDG_CACHE_HOME", QStringLiteral(".cache")) : underOverride("caches");
}

QString Paths::applicationSupport()
{
    return overrideRoot().isEmpty() ? xdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share")) : underOverride("support");
}

QString Paths::configuration()
{
    return overrideRoot().isEmpty() ? xdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) : underOverride("config");
}

QString Paths::temporary()
{
    return overrideRoot().isEmpty() ? QDir::tempPath() : underOverride("tmp");
}

QString Paths::runtime()
{
    const QString value = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!overrideRoot().isEmpty() || value.isEmpty() || !QDir::isAbsolutePath(value))
        return temporary();
    return QDir::cleanPath(value);
}

QString Paths::home()
{
    return overrideRoot().isEmpty() ? QDir::homePath() : underOverride("home");
}

QString Paths::appCaches() { return caches() + QStringLiteral("/Quorvelle"); }

QString Paths::appSupport() { return applicationSupport() + QStringLiteral("/Quorvelle"); }

QString Paths::appConfiguration() { return configuration() + QStringLiteral("/Quorvelle"); }

bool Paths::ensureFolder(const QString& path)
{
    if (QDir(path).exists() || QDir().mkpath(path))
        return true;
    logLine(QStringLiteral("❌"), QStringLiteral("Paths"), QStringLiteral("Could not create folder ") + path);
    return false;
}

namespace {
bool createFolders(const QString& path, mode_t leafMode, QString* reason)
{
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    const QStringList parts = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString prefix;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        prefix += QLatin1Char('/') + parts[i];
        const QFileInfo info(prefix);
        if (info.isDir())
            continue;
        if (info.exists() || info.isSymLink()) {
            if (reason)
                *reason = QStringLiteral("%1 is a file, not a folder").arg(prefix);
            return false;
        }
        const mode_t mode = i == parts.size() - 1 ? leafMode : 0777;
        if (::mkdir(QFile::encodeName(prefix).constData(), mode) != 0 && errno != EEXIST) {
            if (reason)
                *reason = QStringLiteral("%1 cannot be created (%2)").arg(prefix, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    return true;
}
} // namespace

bool Paths::makeFolder(const QString& path, QString* reason) { return createFolders(path, 0777, reason); }

bool Paths::makePrivateFolder(const QString& path, QString* reason)
{
    if (!createFolders(path, 0700, reason))
        return false;
    const QByteArray encoded = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(encoded.constData(), &info) != 0) {
        if (reason)
            *reason = QStringLiteral("%1 cannot be read (%2)").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // A link could lead anywhere, and its target would be made private in its owner's stead.
    if (S_ISLNK(info.st_mode) || !S_ISDIR(info.st_mode)) {
        if (reason)
            *reason = (S_ISLNK(info.st_mode) ? QStringLiteral("%1 is a symbolic link") : QStringLiteral("%1 is no folder")).arg(path);
        return false;
    }
    // Another user's folder is never ours to use, whatever its rights say.
    if (info.st_uid != ::geteuid()) {
        if (reason)
            *reason = QStringLiteral("%1 belongs to another user").arg(path);
        return false;
    }
    // Only the rights of others are taken away (a folder made by an earlier version with the
    // umask's rights); the owner's own choice, a read-only folder say, stays.
    const mode_t others = info.st_mode & (S_IRWXG | S_IRWXO);
    if (others != 0 && ::chmod(encoded.constData(), info.st_mode & S_IRWXU) != 0) {
        if (reason)
            *reason = QStringLiteral("%1 cannot be made private (%2)").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

bool Paths::makePrivateFile(const QString& path) { return ::chmod(QFile::encodeName(path).constData(), 0600) == 0; }

Paths::Override::Override(const QString& root) : previous_(overrideRoot())
{
    overrideRoot() = QDir::cleanPath(root);
    for (const char* name : {"caches", "support", "config", "tmp", "home"})
        QDir().mkpath(underOverride(name));
}

Paths::Override::~Override() { overrideRoot() = previous_; }
