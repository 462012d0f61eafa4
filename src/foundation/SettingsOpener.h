#pragma once

#include "foundation/SettingsDatabase.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// Opens a domain's main database the way a launch needs it: imports the settings file earlier
// versions wrote when the database has not taken it in yet, and replaces a damaged database by
// what still reads of it after copying it aside whole.
namespace SettingsOpener {

struct Opened {
    std::unique_ptr<SettingsDatabase> database;
    // Why it did not open (a passing reason: tried again later).
    QString failure;
    // Where a damaged database was copied, and what was wrong with it.
    QString damagedCopy;
    QString damage;
    // What of the earlier settings file could not be imported, or a log set aside.
    QStringList troubles;
};

// Names the earlier settings file imported, in the same transaction as the import.
inline const QString kImportedKey = QStringLiteral("Quorvelle.importedSettingsFile");
// Names the damaged copy the user was told of, until they dismiss the notice.
inline const QString kDamagedCopyKey = QStringLiteral("Quorvelle.damagedCopy");
// What an opening left out or set aside (records of the earlier settings, a log), in words the
// user is shown until they dismiss them.
inline const QString kTroublesKey = QStringLiteral("Quorvelle.openingTroubles");

// The main database, not checked whole yet (SettingsDatabase::checkFile() on a worker, then
// markChecked()). The lists under the keys of `lists` that the earlier settings file holds as
// one data value each are imported as rows, each record under its member the key names.
Opened open(const QString& path, const QString& legacyPath, const QHash<QString, QString>& lists = {});
// Copies the damaged database at `path` aside, as it stands with its log, and opens what still
// reads of it in its place (its connection closed first by abandon()).
Opened replace(const QString& path, const QString& damage);

} // namespace SettingsOpener
