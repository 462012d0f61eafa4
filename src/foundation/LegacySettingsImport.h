#pragma once

#include "foundation/LegacySettings.h"

#include <QString>

#include <optional>

// Reads the settings files of earlier versions, never writing them, and renames them once their
// content is in the database. Any thread; reads and renames files only.
//
// The journal "<file>.journal" beside the file holds framed records (length, CRC-32, bytes), each
// a change numbered by "seq". The file names the last record it holds ("Quorvelle.journalSequence";
// none written means 0). A record is applied only when it provably extends that very file: the
// records are whole (CRC), numbered one after the other from the first, the first no later than
// the one after the file's, those the file already holds skipped, and each splice fits the list it
// edits. The first record that fails any of this stops the replay: it and every later one are left
// out and a trouble says so; the journal is kept (renamed) either way. A journal without its file,
// or that is a symbolic link, is not applied at all.
namespace LegacySettingsImport {

// Reads the file at `jsonPath` ("<domain>.json") and its journal beside it; nothing when neither
// exists. A file that does not parse as a whole gives every entry that still reads, and a trouble
// names what was lost.
std::optional<LegacySettings> read(const QString& jsonPath);

// Called once the import is committed: renames the file to "<name>.imported" and its journal
// likewise ("-2", "-3", ... when the name is taken; never over another file, never deleting).
// A file that is not there is skipped. False, with the reason, when one could not be renamed:
// what was not renamed stays where it is.
bool keepImported(const QString& jsonPath, QString* failure);

// The name keepImported gives the file at `path` if nothing takes that name meanwhile.
QString importedName(const QString& path);

} // namespace LegacySettingsImport
