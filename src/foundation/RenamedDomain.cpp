#include "foundation/RenamedDomain.h"

#include "foundation/LegacySettingsImport.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"

#include <QFile>
#include <QFileInfo>

namespace {
const QString kType = QStringLiteral("UserDefaults");
} // namespace

bool RenamedDomain::bringOver(UserDefaults& target, const QString& oldDomain)
{
    // Nothing of the old name on disk: the store is new, or was brought over by an earlier launch.
    const QString oldFile = UserDefaults::databasePathOf(oldDomain);
    if (!QFileInfo::exists(oldFile) && !QFileInfo::exists(UserDefaults::legacyPathOf(oldDomain)))
        return false;
    {
        UserDefaults old(oldDomain);
        if (old.readTrouble() || old.awaitsFile()) {
            logLine(QStringLiteral("⚠️"), kType,
                QStringLiteral("%1 could not be read; it stays as it is, and %2 starts without it").arg(oldFile, target.domain()));
            return false;
        }
        for (const QString& key : old.keys()) {
            if (!target.contains(key))
                target.setValue(key, *old.value(key));
        }
        target.flush();
        if (target.hasUnsavedChanges())
            return false;
    }
    // Once the old database is closed: its last connection has folded its log back into it.
    const QString keptAs = QFileInfo(LegacySettingsImport::importedName(oldFile)).fileName();
    QString failure;
    if (!LegacySettingsImport::keepImported(oldFile, &failure)) {
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Brought %1 over into %2, but %3").arg(oldFile, target.domain(), failure));
        return true;
    }
    // The record an earlier version kept of the old file's last check names a file no longer there.
    QFile::remove(oldFile + QStringLiteral("-checked"));
    logLine(QStringLiteral("✅"), kType,
        QStringLiteral("Brought %1 over into %2; the old file is kept as %3")
            .arg(QFileInfo(oldFile).fileName(), QFileInfo(target.filePath()).fileName(), keptAs));
    return true;
}
