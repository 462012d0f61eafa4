#pragma once

#include "foundation/SettingsDatabase.h"

#include <QHash>

// Puts entries, as stored (an entry's JSON), straight into the settings database at `path`,
// bypassing the store's checks: a value this version cannot read, as an older or newer one may
// leave. No store may have the database open meanwhile.
inline QString putStoredEntries(const QString& path, const QHash<QString, QByteArray>& entries)
{
    SettingsDatabase::Opening opening = SettingsDatabase::open(path, SettingsDatabase::Role::Main);
    if (!opening.database)
        return opening.failure.message;
    SettingsChange change;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        change.entries.insert(it.key(), it.value());
    SqliteFailure failure;
    return opening.database->apply(change, &failure) ? QString() : failure.message;
}
