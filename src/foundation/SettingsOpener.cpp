#include "foundation/SettingsOpener.h"

#include "foundation/DamagedFile.h"
#include "foundation/EarlierListRows.h"
#include "foundation/LegacySettingsImport.h"
#include "foundation/Log.h"
#include "foundation/SettingsSalvage.h"
#include "foundation/StoredEntry.h"

#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

#include <cstdio>
#include <utility>

namespace {
void warn(const QString& message) { logLine(QStringLiteral("⚠️"), QStringLiteral("UserDefaults"), message); }

void removeCompanions(const QString& path)
{
    QFile::remove(path + QLatin1String(SettingsDatabase::kLogSuffix));
    QFile::remove(path + QStringLiteral("-shm"));
}

// Copies the damaged database aside and puts what still reads of it in its place; the copy's
// name, or nothing (and why) when the file has to stay as it is.
std::optional<QString> replaceDamaged(const QString& path, const QString& damage, QString* failure)
{
    const std::optional<QString> copy = DamagedFile::copyAside(path, {QLatin1String(SettingsDatabase::kLogSuffix)}, failure);
    if (!copy)
        return std::nullopt;
    std::optional<SettingsSalvage::Salvaged> salvaged = SettingsSalvage::read(*copy);
    SettingsChange change = salvaged ? salvaged->change : SettingsChange();
    change.entries.insert(SettingsOpener::kDamagedCopyKey, StoredEntry::encode(*copy));
    const QString fresh = path + QStringLiteral(".salvaging");
    QFile::remove(fresh); // a salvage of ours cut short
    removeCompanions(fresh);
    {
        SettingsDatabase::Opening opening = SettingsDatabase::open(fresh, SettingsDatabase::Role::Main);
        SqliteFailure commit;
        if (!opening.database || !opening.database->apply(change, &commit)) {
            *failure = opening.database ? commit.message : opening.failure.message;
            return std::nullopt;
        }
        // The new file takes the damaged one's place only once it holds everything itself.
        if (!opening.database->checkpoint()) {
            *failure = QStringLiteral("the salvaged database could not be written whole");
            return std::nullopt;
        }
    }
    if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) != 0) {
        *failure = QStringLiteral("the salvaged database could not take its place");
        return std::nullopt;
    }
    removeCompanions(path); // copied aside with the file
    warn(QStringLiteral("Damaged database %1 (%2) copied to %3; %4 entries and %5 rows still read and were kept")
             .arg(path, damage, *copy)
             .arg(salvaged ? salvaged->entries : 0)
             .arg(salvaged ? salvaged->rows : 0));
    return copy;
}

// Takes the lists earlier versions kept as one data value (`lists`: each key with the member
// that keys its records) out of the imported entries and into rows, as the list itself would
// move them at its first read: a long list is not written whole only to be taken apart at
// once. A list the database has rows of already (`present`), or whose value is no list of
// records, stays an entry for the list to deal with. The values the rows point into.
QList<QByteArray> moveListsIntoRows(SettingsChange& change, const QStringList& present, const QHash<QString, QString>& lists)
{
    QList<QByteArray> values;
    for (auto it = lists.cbegin(); it != lists.cend(); ++it) {
        const std::optional<QByteArray> entry = change.entries.value(it.key());
        if (!entry || present.contains(it.key()))
            continue;
        QString error;
        const std::optional<StoredEntry::Value> value = StoredEntry::decode(*entry, it.key(), &error);
        if (!value || !std::holds_alternative<QByteArray>(*value))
            continue;
        const QByteArray& data = std::get<QByteArray>(*value);
        std::optional<QList<StoredRow>> rows = EarlierListRows::of(data, it.value(), QThreadPool::globalInstance());
        if (!rows)
            continue;
        // No entry is left under the key, as after the list's own move.
        change.entries.insert(it.key(), std::nullopt);
        logLine(QStringLiteral("💾"), QStringLiteral("UserDefaults"),
            QStringLiteral("Moved %1 records of the earlier %2 into rows").arg(rows->size()).arg(it.key()));
        change.lists.insert(it.key(), {*std::move(rows), {}});
        values.append(data);
    }
    return values;
}
} // namespace

SettingsOpener::Opened SettingsOpener::replace(const QString& path, const QString& damage)
{
    Opened opened;
    QString failure;
    const std::optional<QString> copy = replaceDamaged(path, damage, &failure);
    if (!copy) {
        opened.failure = QStringLiteral("it is damaged (%1) and could not be copied aside: %2").arg(damage, failure);
        return opened;
    }
    opened.damagedCopy = *copy;
    opened.damage = damage;
    // What the salvage wrote was read from rows that read: sound as it opens.
    SettingsDatabase::Opening opening = SettingsDatabase::open(path, SettingsDatabase::Role::Main);
    opened.database = std::move(opening.database);
    opened.failure = opening.failure.message;
    return opened;
}

SettingsOpener::Opened SettingsOpener::prepare(const QString& path, const QString& legacyPath, const QHash<QString, QString>& lists)
{
    Opened opened;
    // The whole file is checked on a worker once it is open (UserDefaults): a launch does not wait.
    SettingsDatabase::Opening opening = SettingsDatabase::open(path, SettingsDatabase::Role::Main, SettingsDatabase::Check::Later);
    if (opening.failure.isDamage()) {
        Opened replaced = replace(path, opening.failure.message);
        if (!replaced.database)
            return replaced;
        opened.damagedCopy = replaced.damagedCopy;
        opened.damage = replaced.damage;
        opening.database = std::move(replaced.database);
        opening.failure = {};
    }
    if (!opening.logSetAside.isEmpty())
        opened.troubles.append(QStringLiteral("The changes in a write-ahead log that was not written on top of your settings (a "
                                              "restored copy of them?) were left out; the log is kept at %1.")
                                   .arg(opening.logSetAside));
    if (!opening.database) {
        opened.failure = opening.failure.message;
        return opened;
    }
    const bool legacyThere = QFileInfo::exists(legacyPath) || QFileInfo::exists(legacyPath + QStringLiteral(".journal"));
    SqliteFailure failure;
    if (legacyThere && !opening.database->entry(kImportedKey, &failure)) {
        if (failure.code != 0) {
            opened.failure = failure.message;
            return opened;
        }
        std::optional<LegacySettings> legacy = LegacySettingsImport::read(legacyPath);
        if (legacy && legacy->passingFailure) {
            opened.failure = QStringLiteral("the earlier settings file %1 cannot be read yet: %2").arg(legacyPath, *legacy->passingFailure);
            return opened;
        }
        auto import = std::make_shared<Import>();
        import->legacyPath = legacyPath;
        if (legacy) {
            for (auto& [key, entry] : legacy->entries)
                import->change.entries.insert(key, std::move(entry));
            import->troubles = legacy->troubles;
        }
        import->presentLists = opening.database->lists();
        import->listValues = moveListsIntoRows(import->change, import->presentLists, lists);
        import->change.entries.insert(kImportedKey, StoredEntry::encode(legacyPath));
        opened.import = std::move(import);
    }
    opened.database = std::move(opening.database);
    return opened;
}

QString SettingsOpener::finishImport(SettingsDatabase& database, const Import& import)
{
    SqliteFailure failure;
    // The earlier file is renamed as soon as its import is committed: the copy of the log into
    // the file is the caller's.
    if (!database.apply(import.change, &failure, SettingsDatabase::Checkpoint::ByCaller))
        return failure.message;
    QString kept;
    if (!LegacySettingsImport::keepImported(import.legacyPath, &kept))
        warn(QStringLiteral("Imported %1, which could not be renamed: %2").arg(import.legacyPath, kept));
    return {};
}

SettingsOpener::Opened SettingsOpener::open(const QString& path, const QString& legacyPath, const QHash<QString, QString>& lists)
{
    Opened opened = prepare(path, legacyPath, lists);
    if (!opened.import)
        return opened;
    const std::shared_ptr<const Import> import = std::exchange(opened.import, nullptr);
    if (const QString failure = finishImport(*opened.database, *import); !failure.isEmpty()) {
        opened.database.reset();
        opened.failure = QStringLiteral("the earlier settings could not be imported: ") + failure;
        return opened;
    }
    opened.database->checkpoint();
    opened.troubles.append(import->troubles);
    return opened;
}
