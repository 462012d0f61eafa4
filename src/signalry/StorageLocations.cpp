#include "signalry/StorageLocations.h"

#include <QCoreApplication>
#include <QDir>

#include <mutex>

namespace signalry {

namespace {
std::mutex overrideMutex;
QString overrideRoot;

QString currentOverride()
{
    std::lock_guard lock(overrideMutex);
    return overrideRoot;
}

QString xdgFolder(const char* variable, const QString& fallbackUnderHome)
{
    const QString value = qEnvironmentVariable(variable);
    // XDG asks to ignore relative paths.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::homePath() + QLatin1Char('/') + fallbackUnderHome;
}
} // namespace

QString StorageLocations::caches()
{
    const QString root = currentOverride();
    return root.isEmpty() ? xdgFolder("XDG_CACHE_HOME", QStringLiteral(".cache")) : root + QStringLiteral("/caches");
}

QString StorageLocations::defaultsFolder()
{
    const QString root = currentOverride();
    if (!root.isEmpty())
        return root + QStringLiteral("/config");
    return xdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) + QLatin1Char('/') + QCoreApplication::applicationName();
}

StorageLocations::Override::Override(const QString& root)
{
    std::lock_guard lock(overrideMutex);
    previous_ = overrideRoot;
    overrideRoot = QDir::cleanPath(root);
}

StorageLocations::Override::~Override()
{
    std::lock_guard lock(overrideMutex);
    overrideRoot = previous_;
}

} // namespace signalry
