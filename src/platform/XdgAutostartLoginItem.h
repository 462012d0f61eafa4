#pragma once

#include "platform/LoginItem.h"

// The login item as an XDG autostart entry, "autostart/quorvelle.desktop" in the configuration
// folder, which every freedesktop session reads at login. The entry starts this program with
// the login-launch argument. The status is read back from the file: an entry the user turned
// off (Hidden, or the GNOME switch set to false) or one that starts another program counts as
// not registered, so registering again rewrites it; one that starts a copy of this program at
// another path (its command is that path and the login-launch argument) is another copy's.
// An entry that cannot be read (not a file,
// unreadable, without a command, cut short inside it) is damaged; registering replaces it, and
// unregistering removes it (an empty folder in its place too).
class XdgAutostartLoginItem : public LoginItem {
public:
    // The running program and the entry in the configuration folder.
    XdgAutostartLoginItem();
    XdgAutostartLoginItem(QString programPath, QString entryPath);

    static QString defaultEntryPath();
    QString entryText() const;
    const QString& entryPath() const { return entryPath_; }

    Status status() const override;
    // Throws FileError when the folder or the file cannot be written.
    void registerItem() override;
    // Throws FileError when there is no entry or it cannot be removed.
    void unregisterItem() override;
    // Opens the autostart folder in the file manager.
    void openSettings() override;

private:
    // An empty folder where the entry goes is removed; throws FileError when a folder stays.
    void removeFolderInPlace() const;

    QString programPath_;
    QString entryPath_;
};
