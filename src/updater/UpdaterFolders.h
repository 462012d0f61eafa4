#pragma once

#include <QString>

// The updater's own folders. Its caches folder under Caches is named after the application's
// identifier and holds only what the update machinery keeps there. Its working folder (the
// download, the extraction, the relaunch script) is this user's alone: made with mode 0700 in
// the private runtime folder, or fresh by mkdtemp when the fixed one is not safe (a link, another
// owner, open to others), so nobody else can plant a link at one of the fixed names inside it.
// Nothing here follows a link when it removes. Plain file-system calls; any thread.
namespace UpdaterFolders {

inline const QString kApplicationIdentifier = QStringLiteral("app.quorvelle.Quorvelle");

// Caches + kApplicationIdentifier; empty without a Caches folder.
QString cachesFolder();
// Removes the caches folder: the one way it is cleared, at launch, before a scheduled check and
// by the menu's update command. False when something stays.
bool clearCaches();

// The private working folder, made on first use; throws FileError when none can be made.
QString workFolder();

// Removes `path`: a file or a link itself, a folder with everything in it. A link, at the top or
// inside, is removed, never followed. True when nothing is left at `path`.
bool remove(const QString& path);

} // namespace UpdaterFolders
