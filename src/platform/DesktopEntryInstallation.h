#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The launcher entry a package installed for this program: "<application id>.desktop" in the
// applications folder of the system's data folders ($XDG_DATA_DIRS), the first one found as the
// desktop finds it, counted only when its Exec starts the very program asked about (a copy run
// from a build tree is not the installed one).
class DesktopEntryInstallation {
public:
    // `dataFolders`: the system's data folders, the desktop's first choice first.
    explicit DesktopEntryInstallation(QStringList dataFolders);

    // $XDG_DATA_DIRS, or "/usr/local/share" and "/usr/share" when it is unset or empty.
    static QStringList systemDataFolders();

    // The installed entry's path when it starts `programPath`; nothing otherwise.
    std::optional<QString> entryFor(const QString& programPath) const;

private:
    QStringList dataFolders_;
};
