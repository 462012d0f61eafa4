#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// What the settings files of earlier versions ("<domain>.json" and its journal) held, read for
// the move into the database (LegacySettingsImport::read).
struct LegacySettings {
    // Each entry as the old store kept it, in key order: the key and its entry's compact JSON
    // ({"type": ..., "value": ...}). Unknown types and unreadable values are there as they stood,
    // never dropped; a data value keeps its Base64. The journal's records are applied only where
    // they provably belong to the file (see LegacySettingsImport::read).
    QList<std::pair<QString, QByteArray>> entries;
    // Each thing that could not be imported, as a sentence a user can read; empty when all was.
    QStringList troubles;
    // Set when a file could not be read for a reason that may pass (no free descriptor, an I/O
    // error, its mode, something else than a file in its place): then nothing else here counts.
    // The caller imports nothing, leaves the files where they are (no keepImported) and reads
    // them again later; it must not start as if there were no old settings.
    std::optional<QString> passingFailure;
};
