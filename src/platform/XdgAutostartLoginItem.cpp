#include "platform/XdgAutostartLoginItem.h"

#include "foundation/ApplicationId.h"
#include "foundation/Paths.h"
#include "platform/DesktopEntry.h"
#include "platform/FileError.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

namespace {
QString programCommand(const QString& programPath)
{
    return DesktopEntry::quotedArgument(programPath) + u' ' + LoginItem::kLoginLaunchArgument;
}
} // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem()
    : XdgAutostartLoginItem(QCoreApplication::applicationFilePath(), defaultEntryPath())
{
}

XdgAutostartLoginItem::XdgAutostartLoginItem(QString programPath, QString entryPath)
    : programPath_(std::move(programPath)), entryPath_(std::move(entryPath))
{
}

QString XdgAutostartLoginItem::defaultEntryPath()
{
    return Paths::configuration() + QStringLiteral("/autostart/quorvelle.desktop");
}

QString XdgAutostartLoginItem::entryText() const
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Quorvelle\n"
                          "Comment=Live video wallpapers\n"
                          "Icon=")
           + ApplicationId::id() + QStringLiteral("\nExec=") + programCommand(programPath_)
           + QStringLiteral("\n"
                            "Terminal=false\n"
                            "X-GNOME-Autostart-enabled=true\n");
}

LoginItem::Status XdgAutostartLoginItem::status() const
{
    const QFileInfo info(entryPath_);
    if (!info.exists() && !info.isSymLink())
        return Status::NotRegistered;
    QFile file(entryPath_);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return Status::Damaged;
    const DesktopEntry entry(QString::fromUtf8(file.readAll()));
    // The user's own word, whatever else the entry holds.
    if (entry.boolean(QStringLiteral("Hidden")) == true
        || entry.boolean(QStringLiteral("X-GNOME-Autostart-enabled")) == false)
        return Status::NotRegistered;
    const std::optional<QString> command = entry.value(QStringLiteral("Exec"));
    const QString ours = programCommand(programPath_);
    if (!command || command->trimmed().isEmpty() || (*command != ours && ours.startsWith(*command)))
        return Status::Damaged;
    if (*command == ours)
        return Status::Enabled;
    // Only this program writes its login-launch argument into an entry of this name; a hand
    // may have left the path unquoted.
    const std::optional<QString> program = entry.program();
    const QString argument = u' ' + LoginItem::kLoginLaunchArgument;
    const QString start = command->chopped(std::min(command->size(), argument.size()));
    if (program && command->endsWith(argument) && (start == DesktopEntry::quotedArgument(*program) || start == *program))
        return Status::OtherCopy;
    return Status::NotRegistered;
}

void XdgAutostartLoginItem::removeFolderInPlace() const
{
    const QFileInfo info(entryPath_);
    if (info.isDir() && !info.isSymLink() && !QDir().rmdir(entryPath_))
        throw FileError(entryPath_, QStringLiteral("A folder that is not empty stands where the login entry goes"));
}

void XdgAutostartLoginItem::registerItem()
{
    if (!Paths::ensureFolder(QFileInfo(entryPath_).absolutePath()))
        throw FileError(QFileInfo(entryPath_).absolutePath(), QStringLiteral("The autostart folder cannot be created"));
    removeFolderInPlace();
    const QByteArray text = entryText().toUtf8();
    // Written whole or not at all: the session reads this file at the next login.
    QSaveFile file(entryPath_);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw FileError(entryPath_, file.errorString());
}

void XdgAutostartLoginItem::unregisterItem()
{
    if (QFileInfo(entryPath_).isDir() && !QFileInfo(entryPath_).isSymLink()) {
        removeFolderInPlace();
        return;
    }
    QFile file(entryPath_);
    if (!file.exists())
        throw FileError(entryPath_, QStringLiteral("The login item is not registered"));
    if (!file.remove())
        throw FileError(entryPath_, file.errorString());
}

void XdgAutostartLoginItem::openSettings()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(entryPath_).absolutePath()));
}
