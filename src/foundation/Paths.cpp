#include "foundation/Paths.h"

#include "foundation/Log.h"

#include <QDir>

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

bool Paths::ensureFolder(const QString& path)
{
    if (QDir(path).exists() || QDir().mkpath(path))
        return true;
    logLine(QStringLiteral("❌"), QStringLiteral("Paths"), QStringLiteral("Could not create folder ") + path);
    return false;
}

Paths::Override::Override(const QString& root) : previous_(overrideRoot())
{
    overrideRoot() = QDir::cleanPath(root);
    for (const char* name : {"caches", "support", "config", "tmp", "home"})
        QDir().mkpath(underOverride(name));
}

Paths::Override::~Override() { overrideRoot() = previous_; }
