#pragma once

#include <QByteArray>
#include <QString>

// Writes a cache file (a poster, a thumbnail) whole under its name without waiting for the disk:
// a reader never meets a half-written file, and what a power cut takes costs only a new
// download. A user's file is written by those that sync it (the settings database, a master).
namespace CacheFile {

// False, with `error` set when given, when the file could not be written; nothing is left of it
// then, and a file that had the name keeps it.
bool write(const QString& path, const QByteArray& bytes, QString* error = nullptr);

} // namespace CacheFile
