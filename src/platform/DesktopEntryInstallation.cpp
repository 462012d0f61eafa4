#include "platform/DesktopEntryInstallation.h"

#include "foundation/ApplicationId.h"
#include "platform/DesktopEntry.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

DesktopEntryInstallation::DesktopEntryInstallation(QStringList dataFolders) : dataFolders_(std::move(dataFolders)) {}

QStringList DesktopEntryInstallation::systemDataFolders()
{
    const QStringList folders = qEnvironmentVariable("XDG_DATA_DIRS").split(u':', Qt::SkipEmptyParts);
    return folders.isEmpty() ? QStringList{QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")} : folders;
}

std::optional<QString> DesktopEntryInstallation::entryFor(const QString& programPath) const
{
    for (const QString& folder : dataFolders_) {
        const QString path = folder + QStringLiteral("/applications/") + ApplicationId::desktopFileName();
        QFile file(path);
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
            continue;
        // The first entry found hides the others of the same name, whatever it starts.
        const std::optional<QString> program = DesktopEntry(QString::fromUtf8(file.readAll())).program();
        if (!program)
            return std::nullopt;
        // A bare name is looked up in PATH, as the desktop starts it.
        const QString started = program->contains(u'/') ? *program : QStandardPaths::findExecutable(*program);
        const QString running = QFileInfo(programPath).canonicalFilePath();
        if (started.isEmpty() || running.isEmpty() || QFileInfo(started).canonicalFilePath() != running)
            return std::nullopt;
        return path;
    }
    return std::nullopt;
}
