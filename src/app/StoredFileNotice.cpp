#include "app/StoredFileNotice.h"

#include "foundation/UserDefaults.h"
#include "session/DiskFailureNotice.h"
#include "signalry/FileNotices.h"

StoredFileNotice::StoredFileNotice(DiskFailureNotice& notice, QObject* parent) : QObject(parent), notice_(notice) {}

QString StoredFileNotice::title() { return tr("Saved Data Not Read"); }

QString StoredFileNotice::message(const QString& what, const QString& keptAt)
{
    return tr("Your %1 could not be read. They were kept at %2 and Quorvelle started without them.").arg(what, keptAt);
}

QString StoredFileNotice::damagedMessage(const QString& what, const QString& keptAt)
{
    return tr("Your %1 were found damaged. Everything that could still be read was kept, and the damaged file is kept at "
              "%2.")
        .arg(what, keptAt);
}

QString StoredFileNotice::unopenedMessage(const QString& what, const QString& reason)
{
    return tr("Your %1 cannot be opened right now (%2). What you change is kept and added to them as soon as they open.")
        .arg(what, reason);
}

void StoredFileNotice::watch(const UserDefaults& defaults, const QString& what)
{
    // Damage the check of the whole file finds after the launch is told as damage found at it.
    connect(&defaults, &UserDefaults::damageFound, this, [this, &defaults, what] { tellTrouble(defaults, what); });
    tellTrouble(defaults, what);
}

void StoredFileNotice::tellTrouble(const UserDefaults& defaults, const QString& what)
{
    const std::optional<UserDefaults::ReadTrouble>& trouble = defaults.readTrouble();
    if (!trouble)
        return;
    notice_.tell(title(), trouble->movedAside ? damagedMessage(what, trouble->keptAt) : unopenedMessage(what, trouble->reason));
}

void StoredFileNotice::watchAnalytics()
{
    // The analytics files are read before there is a window: what they told then is told now.
    // Connected first, so nothing falls between; the disk notice tells each message once.
    auto tell = [this](const QString&, const QString& keptAt) { report(tr("usage statistics"), keptAt); };
    signalry::FileNotices& notices = signalry::FileNotices::shared();
    connect(&notices, &signalry::FileNotices::fileKept, this, tell);
    for (const signalry::FileNotices::Kept& kept : notices.told())
        tell(kept.file, kept.keptAt);
}

void StoredFileNotice::report(const QString& what, const QString& keptAt) { notice_.tell(title(), message(what, keptAt)); }
