#include "platform/XdgAutostartLoginItem.h"

#include "foundation/Paths.h"
#include "platform/DesktopEntry.h"
#include "platform/FileError.h"

#include <QCoreApplication>
#include <QDesktopServices>
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
                          "Exec=")
           + programCommand(programPath_)
           + QStringLiteral("\n"
                            "Terminal=false\n"
                            "X-GNOME-Autostart-enabled=true\n");
}

LoginItem::Status XdgAutostartLoginItem::status() const
{
    QFile file(entryPath_);
    if (!file.open(QIODevice::ReadOnly))
        return Status::NotRegistered;
    const DesktopEntry entry(QString::fromUtf8(file.readAll()));
    if (entry.boolean(QStringLiteral("Hidden")) == true
        || entry.boolean(QStringLiteral("X-GNOME-Autostart-enabled")) == false)
        return Status::NotRegistered;
    // An entry left by a copy of the program that has since moved would start nothing useful.
    if (entry.value(QStringLiteral("Exec")) != programCommand(programPath_))
        return Status::NotRegistered;
    return Status::Enabled;
}

void XdgAutostartLoginItem::registerItem()
{
    if (!Paths::ensureFolder(QFileInfo(entryPath_).absolutePath()))
        throw FileError(QFileInfo(entryPath_).absolutePath(), QStringLiteral("The autostart folder cannot be created"));
    const QByteArray text = entryText().toUtf8();
    // Written whole or not at all: the session reads this file at the next login.
    QSaveFile file(entryPath_);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw FileError(entryPath_, file.errorString());
}

void XdgAutostartLoginItem::unregisterItem()
{
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
