#include "app/StoredFileNotice.h"

#include "foundation/UserDefaults.h"
#include "session/DiskFailureNotice.h"

StoredFileNotice::StoredFileNotice(DiskFailureNotice& notice, QObject* parent) : QObject(parent), notice_(notice) {}

QString StoredFileNotice::title() { return tr("Saved Data Not Read"); }

QString StoredFileNotice::message(const QString& what, const QString& keptAt)
{
    return tr("Your %1 could not be read. They were kept at %2 and Quorvelle started without them.").arg(what, keptAt);
}

void StoredFileNotice::watch(const UserDefaults& defaults, const QString& what)
{
    if (const std::optional<UserDefaults::ReadTrouble>& trouble = defaults.readTrouble())
        report(what, trouble->keptAt);
}

void StoredFileNotice::report(const QString& what, const QString& keptAt) { notice_.tell(title(), message(what, keptAt)); }
