#pragma once

#include <QString>

#include <optional>

// Keeps a state file that could not be read: as "<file>.damaged-<yyyyMMdd-HHmmss>" (with "-2",
// "-3", ... when that name is taken) beside it, so the user's data is still there to be
// recovered. A copy is never removed; one identical to a copy already kept is not kept twice.
namespace DamagedFile {

// Renames the file aside; the name it is kept under (an identical copy's, the file then being
// removed), or nothing when it could not be (the file is then where it was).
std::optional<QString> moveAside(const QString& path);

// Copies the file aside whole, and the files beside it named `path` + each of `companions` under
// the copy's name + the same suffix, synced; the copy's name, or nothing (and why) when it
// could not be made.
std::optional<QString> copyAside(const QString& path, const QStringList& companions, QString* failure);

// True while a file kept aside from `path` is there.
bool hasCopies(const QString& path);

} // namespace DamagedFile
