#include "platform/UrlSchemeRegistration.h"

#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "platform/DesktopEntry.h"
#include "platform/ProcessRunner.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
const QString kType = QStringLiteral("UrlSchemeRegistration");
const QString kXdgMime = QStringLiteral("xdg-mime");

QStringList queryDefaultArguments()
{
    return {QStringLiteral("query"), QStringLiteral("default"), UrlSchemeRegistration::kMimeType};
}

QStringList setDefaultArguments()
{
    return {QStringLiteral("default"), UrlSchemeRegistration::kDesktopFileName, UrlSchemeRegistration::kMimeType};
}
} // namespace

UrlSchemeRegistration::UrlSchemeRegistration(ProcessRunner& processes, QString executablePath)
    : processes_(processes), executablePath_(std::move(executablePath))
{
}

QString UrlSchemeRegistration::desktopFilePath()
{
    return Paths::applicationSupport() + QStringLiteral("/applications/") + kDesktopFileName;
}

QString UrlSchemeRegistration::desktopEntry() const
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Quorvelle\n"
                          "Exec=")
           + DesktopEntry::quotedArgument(executablePath_)
           + QStringLiteral(" %u\n"
                            "Terminal=false\n"
                            "NoDisplay=true\n"
                            "MimeType=")
           + kMimeType + QStringLiteral(";\n");
}

bool UrlSchemeRegistration::writeEntry() const
{
    const QString path = desktopFilePath();
    const QByteArray entry = desktopEntry().toUtf8();
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == entry)
        return true;
    if (!Paths::ensureFolder(QFileInfo(path).absolutePath()))
        return false;
    // Written whole or not at all: the desktop reads this file at any time.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(entry) != entry.size() || !file.commit()) {
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Cannot write ") + path + QStringLiteral(": ") + file.errorString());
        return false;
    }
    return true;
}

QCoro::Task<bool> UrlSchemeRegistration::registerScheme()
{
    if (!writeEntry())
        co_return false;
    // Desktops without xdg-utils find the handler through the entry alone.
    if (!QFileInfo(processes_.toolPath(kXdgMime)).isExecutable())
        co_return true;
    const ProcessResult current = co_await processes_.run(kXdgMime, queryDefaultArguments());
    if (current.succeeded() && QString::fromUtf8(current.standardOutput).trimmed() == kDesktopFileName)
        co_return true;
    const ProcessResult result = co_await processes_.run(kXdgMime, setDefaultArguments());
    if (!result.succeeded()) {
        const QString reason
            = result.errorMessage.isEmpty() ? QString::fromUtf8(result.standardError).trimmed() : result.errorMessage;
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("xdg-mime could not make the link handler the default: ") + reason);
    }
    co_return true;
}
