#pragma once

#include "foundation/SettingsChange.h"

#include <QString>

#include <optional>

// What still reads of a damaged settings database: every entry and row that SQLite can read,
// going past what it cannot (a damaged page costs only the rows on it).
namespace SettingsSalvage {

struct Salvaged {
    SettingsChange change;
    qsizetype entries = 0;
    qsizetype rows = 0;
};

// Reads the database at `path` (with its log when that reads, else the file alone). Nothing
// when not even its tables can be found.
std::optional<Salvaged> read(const QString& path);

} // namespace SettingsSalvage
