#pragma once

#include <QFileInfo>
#include <QString>

#include <functional>

// The direct contents of one cache folder: how many bytes its files take, and emptying it.
// Plain file-system calls that keep no state, so any thread may use them; nothing here creates
// a folder, and a folder that is missing or cannot be listed counts as empty.
namespace CacheFolder {

using EntryFilter = std::function<bool(const QFileInfo&)>;

// Every entry directly inside `folder`, hidden ones included.
QFileInfoList entries(const QString& folder);

// The sizes of the regular files directly inside `folder` that `accept` lets through (all of
// them without a filter). Subfolders add nothing.
qint64 fileBytes(const QString& folder, const EntryFilter& accept = {});

// Removes one entry: a file, a link, or a folder with everything in it. False, with the reason,
// when something stays.
bool removeEntry(const QFileInfo& entry, QString* reason = nullptr);

// Removes every entry directly inside `folder`, skipping any that cannot be removed; the folder
// itself stays. Returns how many entries stayed.
int removeEntries(const QString& folder);

// True for an entry whose extension (after the last dot) is `extension`, in any case.
bool hasExtension(const QFileInfo& entry, QStringView extension);

} // namespace CacheFolder
