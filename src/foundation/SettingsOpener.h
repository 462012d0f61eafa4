#pragma once

#include "foundation/SettingsChange.h"
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

// The import of an earlier settings file made ready: the change that takes it in, the values its
// rows point into (kept as long as the change), what of the file could not be imported.
struct Import {
    SettingsChange change;
    // The lists the database held rows of before: the import brings no rows to any other.
    QStringList presentLists;
    QList<QByteArray> listValues;
    QStringList troubles;
    QString legacyPath;
};

struct Opened {
    std::unique_ptr<SettingsDatabase> database;
    // Why it did not open (a passing reason: tried again later).
    QString failure;
    // Where a damaged database was copied, and what was wrong with it.
    QString damagedCopy;
    QString damage;
    // What of the earlier settings file could not be imported, or a log set aside.
    QStringList troubles;
    // An import made ready, not committed yet (prepare()).
    std::shared_ptr<const Import> import;
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
// The same, with an import that is due made ready rather than committed: the database is not
// written, and finishImport() commits it.
Opened prepare(const QString& path, const QString& legacyPath, const QHash<QString, QString>& lists = {});
// Commits a ready import into `database` and renames the earlier files; why it could not be
// committed, or nothing. The log is the caller's to copy into the file (checkpoint()). Any
// thread, as the database's only user meanwhile.
QString finishImport(SettingsDatabase& database, const Import& import);
// Copies the damaged database at `path` aside, as it stands with its log, and opens what still
// reads of it in its place (its connection closed first by abandon()).
Opened replace(const QString& path, const QString& damage);

} // namespace SettingsOpener
