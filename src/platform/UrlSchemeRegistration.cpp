#include "platform/UrlSchemeRegistration.h"

#include "foundation/ApplicationId.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "platform/DesktopEntry.h"
#include "platform/DesktopEntryInstallation.h"
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

QStringList setDefaultArguments(const QString& desktopFileName)
{
    return {QStringLiteral("default"), desktopFileName, UrlSchemeRegistration::kMimeType};
}
} // namespace

UrlSchemeRegistration::UrlSchemeRegistration(ProcessRunner& processes, QString executablePath, QStringList systemDataFolders)
    : processes_(processes), executablePath_(std::move(executablePath)), systemDataFolders_(std::move(systemDataFolders))
{
}

UrlSchemeRegistration::UrlSchemeRegistration(ProcessRunner& processes, QString executablePath)
    : UrlSchemeRegistration(processes, std::move(executablePath), DesktopEntryInstallation::systemDataFolders())
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

void UrlSchemeRegistration::removeOwnEntry() const
{
    // Only the very entry this program would write: anything else there is the user's.
    const QString path = desktopFilePath();
    QFile existing(path);
    if (!existing.open(QIODevice::ReadOnly) || existing.readAll() != desktopEntry().toUtf8())
        return;
    existing.close();
    if (!existing.remove())
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Cannot remove ") + path + QStringLiteral(": ") + existing.errorString());
}

QCoro::Task<bool> UrlSchemeRegistration::registerScheme()
{
    const bool installed = DesktopEntryInstallation(systemDataFolders_).entryFor(executablePath_).has_value();
    if (installed)
        removeOwnEntry();
    else if (!writeEntry())
        co_return false;
    // Desktops without xdg-utils find the handler through the entry alone.
    if (QFileInfo(processes_.toolPath(kXdgMime)).isExecutable()) {
        const QString handler = installed ? ApplicationId::desktopFileName() : kDesktopFileName;
        co_await makeDefault(handler);
    }
    co_return true;
}

QCoro::Task<> UrlSchemeRegistration::makeDefault(QString desktopFileName)
{
    const QStringList query = queryDefaultArguments();
    const ProcessResult current = co_await processes_.run(kXdgMime, query);
    if (current.succeeded() && QString::fromUtf8(current.standardOutput).trimmed() == desktopFileName)
        co_return;
    const QStringList arguments = setDefaultArguments(desktopFileName);
    const ProcessResult result = co_await processes_.run(kXdgMime, arguments);
    if (!result.succeeded()) {
        const QString reason
            = result.errorMessage.isEmpty() ? QString::fromUtf8(result.standardError).trimmed() : result.errorMessage;
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("xdg-mime could not make the link handler the default: ") + reason);
    }
}
