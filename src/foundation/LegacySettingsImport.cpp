#include "foundation/LegacySettingsImport.h"

#include "foundation/LegacyFileRead.h"
#include "foundation/LegacyJournal.h"
#include "foundation/LegacyJournalReplay.h"
#include "foundation/LegacySettingsFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString kJournalSequenceKey = QStringLiteral("Quorvelle.journalSequence");

QString journalPathOf(const QString& jsonPath) { return jsonPath + QStringLiteral(".journal"); }
QString nameOf(const QString& path) { return QFileInfo(path).fileName(); }
QString systemReason(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

bool exists(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 || errno != ENOENT;
}

QString quotedList(const QStringList& names)
{
    QStringList quoted;
    for (const QString& name : names)
        quoted.append(QLatin1Char('"') + name + QLatin1Char('"'));
    return quoted.join(QStringLiteral(", "));
}

QString damageTrouble(const QString& jsonPath, const LegacySettingsFile& file)
{
    QStringList lostKeys = file.damage->lostKeys;
    lostKeys.removeAll(kJournalSequenceKey); // its journal's trouble tells
    QStringList lost;
    if (!lostKeys.isEmpty())
        lost.append(QStringLiteral("the settings %1").arg(quotedList(lostKeys)));
    if (file.damage->lostUnnamed > 0)
        lost.append(QStringLiteral("%1 settings whose names no longer read").arg(file.damage->lostUnnamed));
    QString what = lost.join(QStringLiteral(" and ")) + QStringLiteral(" could not be read");
    if (file.entries.isEmpty())
        what = QStringLiteral("nothing in it could be read");
    else if (lost.isEmpty())
        what = QStringLiteral("the settings after the damage are missing");
    else if (file.damage->endsEarly)
        what += QStringLiteral(", and the settings after them are missing");
    return QStringLiteral("Your settings file %1 is damaged (%2): %3. The file was kept as %4.")
        .arg(nameOf(jsonPath), file.damage->fault, what, LegacySettingsImport::importedName(jsonPath));
}

QString notAppliedTrouble(const QString& journalPath, qsizetype count, const QString& because)
{
    const QString changes = count == 1 ? QStringLiteral("1 change") : QStringLiteral("%1 changes").arg(count);
    return QStringLiteral("%1 in %2 could not be applied (%3); the journal was kept as %4.")
        .arg(changes, nameOf(journalPath), because, LegacySettingsImport::importedName(journalPath));
}

// The journal's records made on the file's entries; the trouble when some are not.
std::optional<QString> applyJournal(const QString& journalPath, const LegacyJournal& journal, LegacySettingsFile& file)
{
    if (journal.records.isEmpty() && journal.unread == 0)
        return std::nullopt;
    if (!file.journalSequence)
        return notAppliedTrouble(journalPath, journal.records.size() + journal.unread,
            QStringLiteral("the damaged settings file no longer says which of them it holds"));
    const LegacyJournalReplay replay = LegacyJournalReplay::run(file.entries, *file.journalSequence, journal.records);
    if (!replay.stoppedBecause.isEmpty())
        return notAppliedTrouble(journalPath, replay.notApplied + journal.unread, replay.stoppedBecause);
    switch (journal.end) {
    case LegacyJournal::End::Whole: return std::nullopt;
    case LegacyJournal::End::CutShort:
        // Cut short as it was written, or its length damaged: how many follow cannot be told.
        return QStringLiteral("The changes in %1 from its change %2 on could not be applied (the journal breaks off there); the "
                              "journal was kept as %3.")
            .arg(nameOf(journalPath))
            .arg(journal.records.size() + 1)
            .arg(LegacySettingsImport::importedName(journalPath));
    case LegacyJournal::End::Damaged:
        return notAppliedTrouble(journalPath, journal.unread, QStringLiteral("change %1 of the journal is damaged").arg(journal.records.size() + 1));
    }
    return std::nullopt;
}

// Renames the file at `path`, if there is one, to its imported name, never over another file.
bool renameImported(const QString& path, QString* failure)
{
    if (!exists(path))
        return true;
    for (;;) {
        const QString target = LegacySettingsImport::importedName(path);
        const QByteArray from = QFile::encodeName(path);
        const QByteArray to = QFile::encodeName(target);
        int result = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
        // A file system that cannot refuse to replace: the name was found free just now.
        if (result != 0 && errno == EINVAL)
            result = ::rename(from.constData(), to.constData());
        if (result == 0)
            return true;
        if (errno == EEXIST)
            continue; // taken meanwhile: the next free name
        if (failure)
            *failure = QStringLiteral("%1 could not be renamed to %2: %3").arg(path, nameOf(target), systemReason(errno));
        return false;
    }
}

// A rename is on disk only once its folder is.
bool syncFolder(const QString& path, QString* failure)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (!synced && failure)
        *failure = QStringLiteral("the folder of %1 could not be synced: %2").arg(path, systemReason(errno));
    if (fd >= 0)
        ::close(fd);
    return synced;
}
// Why a file that is there was not read: a link, or another user's file.
std::optional<QString> refusal(LegacyFileRead::Result::Outcome outcome)
{
    using Outcome = LegacyFileRead::Result::Outcome;
    if (outcome == Outcome::Link)
        return QStringLiteral("is a symbolic link");
    if (outcome == Outcome::Foreign)
        return QStringLiteral("belongs to another user");
    return std::nullopt;
}
} // namespace

std::optional<LegacySettings> LegacySettingsImport::read(const QString& jsonPath)
{
    using Outcome = LegacyFileRead::Result::Outcome;
    const QString journalPath = journalPathOf(jsonPath);
    // Neither is followed through a link nor read when another user's; the journal is never written.
    LegacyFileRead::Result file = LegacyFileRead::read(jsonPath, LegacyFileRead::Links::Refuse);
    LegacyFileRead::Result journalFile = LegacyFileRead::read(journalPath, LegacyFileRead::Links::Refuse);
    if (file.outcome == Outcome::Missing && journalFile.outcome == Outcome::Missing)
        return std::nullopt;
    LegacySettings settings;
    for (const auto& [path, read] : {std::pair(jsonPath, &file), std::pair(journalPath, &journalFile)}) {
        if (read->outcome == Outcome::Failed) {
            settings.passingFailure = QStringLiteral("%1 cannot be read: %2").arg(path, read->reason);
            return settings;
        }
    }
    if (const std::optional<QString> why = refusal(file.outcome)) {
        settings.troubles.append(QStringLiteral("%1 %2, so it was not imported; it was kept as %3.")
                                     .arg(nameOf(jsonPath), *why, importedName(jsonPath)));
        if (journalFile.outcome != Outcome::Missing)
            settings.troubles.append(QStringLiteral("%1 was not applied either; it was kept as %2.").arg(nameOf(journalPath), importedName(journalPath)));
        return settings;
    }
    if (file.outcome == Outcome::Missing) {
        if (journalFile.outcome == Outcome::Read && journalFile.bytes.isEmpty())
            return settings;
        // Replayed on nothing, it would bring back settings the user no longer had.
        settings.troubles.append(QStringLiteral("%1 was found without its settings file %2, so its changes were not applied; it "
                                                "was kept as %3.")
                                     .arg(nameOf(journalPath), nameOf(jsonPath), importedName(journalPath)));
        return settings;
    }
    LegacySettingsFile parsed = LegacySettingsFile::parse(std::exchange(file.bytes, {}));
    if (parsed.damage)
        settings.troubles.append(damageTrouble(jsonPath, parsed));
    if (const std::optional<QString> why = refusal(journalFile.outcome)) {
        settings.troubles.append(QStringLiteral("%1 %2, so its changes were not applied; it was kept as %3.")
                                     .arg(nameOf(journalPath), *why, importedName(journalPath)));
    } else if (journalFile.outcome == Outcome::Read) {
        const LegacyJournal journal = LegacyJournal::parse(std::exchange(journalFile.bytes, {}));
        if (const std::optional<QString> trouble = applyJournal(journalPath, journal, parsed))
            settings.troubles.append(*trouble);
    }
    settings.entries.reserve(parsed.entries.size());
    for (auto it = parsed.entries.begin(); it != parsed.entries.end(); ++it)
        settings.entries.append({it.key(), std::exchange(it.value(), {})});
    return settings;
}

QString LegacySettingsImport::importedName(const QString& path)
{
    QString name = path + QStringLiteral(".imported");
    for (int number = 2; exists(name); ++number)
        name = path + QStringLiteral(".imported-") + QString::number(number);
    return name;
}

bool LegacySettingsImport::keepImported(const QString& jsonPath, QString* failure)
{
    return renameImported(jsonPath, failure) && renameImported(journalPathOf(jsonPath), failure) && syncFolder(jsonPath, failure);
}
