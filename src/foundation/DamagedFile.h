#pragma once

#include <QString>

#include <optional>

// Keeps a state file that could not be read: renamed to "<file>.damaged-<yyyyMMdd-HHmmss>" (with
// "-2", "-3", ... when that name is taken) beside it, so the next write starts a new file and
// the user's data is still there to be recovered. The newest kKeptCopies copies are kept.
namespace DamagedFile {

constexpr int kKeptCopies = 3;

// The name it now has; nothing when the rename failed (the file is then where it was). Older
// copies beyond the kept ones are removed.
std::optional<QString> moveAside(const QString& path);

// True while a file moved aside from `path` is there.
bool hasCopies(const QString& path);

} // namespace DamagedFile
