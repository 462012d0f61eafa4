#include "engine/WallpaperPersistenceService.h"

#include "foundation/AppError.h"
#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"

#include <QSet>

#include <cmath>
#include <limits>

namespace {
const QString kType = QStringLiteral("WallpaperPersistenceService");

// The store's getters hand back their fallback for a value of another type, so a value that
// ignores two different fallbacks is of the asked type.
std::optional<qint64> storedInteger(const UserDefaults& defaults, const QString& key)
{
    const qint64 value = defaults.integer(key, 0);
    if (value != 0 || defaults.integer(key, 1) == 0)
        return value;
    return std::nullopt;
}

// A key written as any number is read as a whole number, cut toward zero; a value no 64-bit
// integer can hold is no key.
std::optional<qint64> storedKey(const UserDefaults& defaults, const QString& key)
{
    if (const auto integer = storedInteger(defaults, key))
        return integer;
    const double number = defaults.doubleValue(key, std::numeric_limits<double>::quiet_NaN());
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (std::isnan(number) || number >= kLimit || number < -kLimit)
        return std::nullopt;
    return static_cast<qint64>(number);
}
} // namespace

WallpaperPersistenceService::WallpaperPersistenceService(QObject* parent)
    : WallpaperPersistenceService(UserDefaults::standard(), parent)
{
}

WallpaperPersistenceService::WallpaperPersistenceService(UserDefaults& defaults, QObject* parent)
    : QObject(parent), defaults_(defaults)
{
    connect(&defaults_, &UserDefaults::fileRead, this, &WallpaperPersistenceService::readLate);
}

WallpaperPersistenceService& WallpaperPersistenceService::shared()
{
    return Shared<WallpaperPersistenceService>::instance();
}

std::optional<QUrl> WallpaperPersistenceService::storedUrl(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid())
        return std::nullopt;
    return url;
}

void WallpaperPersistenceService::saveWallpaper(qint64 key, const QUrl& masterUrl)
{
    // Each value is committed once set.
    defaults_.setInteger(kWallpaperKeyKey, key);
    defaults_.setString(kWallpaperScreenKey, rawValue(WallpaperScreenType::homeScreen));
    defaults_.setString(kWallpaperMasterUrlKey, masterUrl.toString(QUrl::FullyEncoded));
    logSaved(!defaults_.hasUnsavedChanges(), QStringLiteral("wallpaper"),
        QStringLiteral("key=") + QString::number(key) + QStringLiteral(", screen=") + rawValue(WallpaperScreenType::homeScreen));
}

std::optional<WallpaperPersistenceService::SavedWallpaper> WallpaperPersistenceService::loadSavedWallpaper() const
{
    if (!defaults_.contains(kWallpaperKeyKey)) {
        log(QStringLiteral("ℹ️"), QStringLiteral("No saved wallpaper found"));
        return std::nullopt;
    }
    const auto key = storedKey(defaults_, kWallpaperKeyKey);
    if (!key)
        return std::nullopt;
    const auto screen = wallpaperScreenType(defaults_.string(kWallpaperScreenKey, rawValue(WallpaperScreenType::homeScreen)));
    if (!screen)
        return std::nullopt;
    const auto masterUrl = storedUrl(defaults_.string(kWallpaperMasterUrlKey));
    if (!masterUrl)
        return std::nullopt;
    log(QStringLiteral("📖"), QStringLiteral("Loaded wallpaper: key=") + QString::number(*key) + QStringLiteral(", screen=")
            + rawValue(*screen));
    return SavedWallpaper{*key, *screen, *masterUrl};
}

void WallpaperPersistenceService::clearSavedWallpaper()
{
    defaults_.remove(kWallpaperKeyKey);
    defaults_.remove(kWallpaperScreenKey);
    defaults_.remove(kWallpaperMasterUrlKey);
    log(QStringLiteral("🗑️"), QStringLiteral("Cleared saved wallpaper"));
}

QList<StoredRow> WallpaperPersistenceService::perMonitorRows() const
{
    QList<StoredRow> rows = defaults_.rows(kPerMonitorKey);
    if (!defaults_.contains(kPerMonitorKey))
        return rows;
    // Earlier versions kept every display's record in one document: each becomes its row, unless
    // its display has a row already (chosen while the database could not be opened).
    QJsonObject document;
    try {
        const JsonReader stored = JsonReader::parse(defaults_.data(kPerMonitorKey));
        if (!stored.value().isObject())
            stored.fail(QStringLiteral("expected an object"));
        document = stored.value().toObject();
    } catch (const AppError& error) {
        log(QStringLiteral("⚠️"), QStringLiteral("Unreadable earlier per-monitor wallpapers, kept as they are: ") + error.localizedDescription());
        return rows;
    }
    QSet<QString> displays;
    for (const StoredRow& row : std::as_const(rows))
        displays.insert(row.key);
    QList<StoredRow> earlier;
    for (auto it = document.constBegin(); it != document.constEnd(); ++it)
        if (!displays.contains(it.key()))
            earlier.append({it.key(), 0, JsonWriter::toBytes(it.value())});
    defaults_.replaceEntryWithRows(kPerMonitorKey, kPerMonitorKey, earlier);
    return rows + earlier;
}

QMap<QString, PerMonitorEntry> WallpaperPersistenceService::loadPerMonitorWallpapers() const
{
    QMap<QString, PerMonitorEntry> entries;
    for (const StoredRow& row : perMonitorRows()) {
        try {
            entries.insert(row.key, PerMonitorEntry::fromJson(JsonReader(JsonReader::parse(row.record).value(), row.key)));
        } catch (const AppError& error) {
            log(QStringLiteral("⚠️"), QStringLiteral("Skipped unreadable per-monitor entry: ") + error.localizedDescription());
        }
    }
    return entries;
}

std::optional<WallpaperPersistenceService::SavedDisplayWallpaper>
WallpaperPersistenceService::loadPerMonitorWallpaper(const QString& displayPersistenceID) const
{
    const auto entries = loadPerMonitorWallpapers();
    const auto found = entries.constFind(displayPersistenceID);
    if (found == entries.cend())
        return std::nullopt;
    const auto masterUrl = storedUrl(found->masterUrlString);
    if (!masterUrl)
        return std::nullopt;
    return SavedDisplayWallpaper{found->key, *masterUrl};
}

void WallpaperPersistenceService::savePerMonitorWallpaper(const QString& displayPersistenceID, qint64 key, const QUrl& masterUrl)
{
    // One row per display: the others' records, readable or not, stay as they are.
    perMonitorRows();
    const QByteArray record
        = JsonWriter::toBytes(PerMonitorEntry{displayPersistenceID, key, masterUrl.toString(QUrl::FullyEncoded)}.toJson());
    const bool committed = defaults_.changeRows(kPerMonitorKey, {{{displayPersistenceID, 0, record}}, {}});
    logSaved(committed, QStringLiteral("per-monitor"),
        QStringLiteral("display=") + displayPersistenceID + QStringLiteral(", key=") + QString::number(key));
}

void WallpaperPersistenceService::removePerMonitorWallpaper(const QString& displayPersistenceID)
{
    perMonitorRows();
    defaults_.changeRows(kPerMonitorKey, {{}, {displayPersistenceID}});
    log(QStringLiteral("🗑️"), QStringLiteral("Cleared per-monitor: display=") + displayPersistenceID);
}

void WallpaperPersistenceService::clearAllPerMonitorWallpapers()
{
    SettingsChange::ListChange change;
    for (const StoredRow& row : perMonitorRows())
        change.removed.append(row.key);
    defaults_.changeRows(kPerMonitorKey, change);
    defaults_.remove(kPerMonitorKey);
    log(QStringLiteral("🗑️"), QStringLiteral("Cleared all per-monitor wallpapers"));
}

void WallpaperPersistenceService::log(const QString& emoji, const QString& message) const
{
    logLine(emoji, kType, message);
}

void WallpaperPersistenceService::logSaved(bool committed, const QString& what, const QString& details) const
{
    if (committed && !defaults_.awaitsFile())
        log(QStringLiteral("💾"), QStringLiteral("Saved %1: %2").arg(what, details));
    else if (committed)
        log(QStringLiteral("⏳"), QStringLiteral("Kept %1 in the recovery database (%2): the settings cannot be opened yet, and the "
                                              "change is saved into them once they can")
                                    .arg(what, details));
    else
        log(QStringLiteral("⏳"), QStringLiteral("Kept %1 in memory (%2): it is saved as soon as the disk takes it").arg(what, details));
}
