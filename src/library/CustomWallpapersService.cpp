#include "library/CustomWallpapersService.h"

#include "engine/CacheFolder.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "library/OwnVideoFacts.h"
#include "library/PersonalWallpaperList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace {
const QString kType = QStringLiteral("CustomWallpapersService");
}

CustomWallpapersService::CustomWallpapersService(QObject* parent)
    : CustomWallpapersService(UserDefaults::standard(), Paths::applicationSupport(), parent)
{
}

CustomWallpapersService::CustomWallpapersService(UserDefaults& defaults, QString applicationSupport, QObject* parent)
    : QObject(parent)
    , defaults_(defaults)
    , applicationSupport_(std::move(applicationSupport))
    , list_(std::make_unique<PersonalWallpaperList>(defaults, kCustomWallpapersKey,
          StoredList::Lines{kType, QStringLiteral("📁"), QStringLiteral("custom wallpapers"),
              QStringLiteral("Loaded %1 custom wallpapers from UserDefaults"),
              QStringLiteral("Saved %1 custom wallpapers to UserDefaults")}))
{
    list_->load();
    list_->reloadWhenReplaced(this, [this] {
        emit customOrderChanged();
        emit customWallpapersChanged();
    });
}

CustomWallpapersService::~CustomWallpapersService() = default;

const WallpapersByKey& CustomWallpapersService::customWallpapers() const { return list_->records(); }
const QList<qint64>& CustomWallpapersService::customOrder() const { return list_->order(); }
QList<WallpaperModel> CustomWallpapersService::orderedCustomWallpapers() const { return list_->inOrder(); }

CustomWallpapersService& CustomWallpapersService::shared() { return Shared<CustomWallpapersService>::instance(); }

QString CustomWallpapersService::folderPath() const
{
    return applicationSupport_ + QStringLiteral("/Quorvelle/custom");
}

void CustomWallpapersService::addCustomWallpaper(const WallpaperModel& wallpaper)
{
    if (!wallpaper.key) {
        log(QStringLiteral("⚠️"), QStringLiteral("Cannot add wallpaper - key is nil"));
        return;
    }
    const qint64 key = *wallpaper.key;
    // Three assignments: the key leaves its place, comes in at the front, its record is stored.
    const bool wasListed = list_->removeFromOrder(key);
    list_->insertAtFront(key);
    list_->put(wallpaper);
    if (wasListed)
        emit customOrderChanged();
    emit customOrderChanged();
    emit customWallpapersChanged();
    list_->save();
    log(QStringLiteral("📁"), QStringLiteral("Added custom wallpaper %1 (%2)").arg(key).arg(wallpaper.title));
}

void CustomWallpapersService::clearAllCustomWallpapers()
{
    list_->clearRecords();
    list_->clearOrder();
    emit customWallpapersChanged();
    emit customOrderChanged();
    list_->save();
    log(QStringLiteral("🗑️"), QStringLiteral("Cleared all custom wallpapers"));
}

bool CustomWallpapersService::clearCustomWallpapersCache()
{
    const QList<qint64> keys = list_->records().keys();
    if (!knowsFolder()) {
        log(QStringLiteral("❌"), QStringLiteral("Could not access Application Support directory"));
        return false;
    }
    const int deleted = deleteVideos(keys);
    clearAllCustomWallpapers();
    log(QStringLiteral("🗑️"), QStringLiteral("Cleared custom wallpapers cache: deleted %1 file(s)").arg(deleted));
    return true;
}

void CustomWallpapersService::removeUnfinishedImports() const
{
    if (!knowsFolder())
        return;
    static const QRegularExpression importName(QStringLiteral("^[0-9]+\\.mp4(\\.previous)?\\.part$"));
    for (const QFileInfo& entry : CacheFolder::entries(folderPath())) {
        if (!entry.isFile() || !importName.match(entry.fileName()).hasMatch() || !CacheFolder::removeEntry(entry))
            continue;
        log(QStringLiteral("🗑️"), QStringLiteral("Removed an unfinished import: ") + entry.fileName());
    }
}

void CustomWallpapersService::adoptUnlistedVideos()
{
    if (!knowsFolder())
        return;
    // The list shown meanwhile lacks the stored records: what they name is known once they open.
    if (defaults_.awaitsFile()) {
        connect(&defaults_, &UserDefaults::fileRead, this, &CustomWallpapersService::adoptUnlistedVideos, Qt::SingleShotConnection);
        return;
    }
    static const QRegularExpression finalName(QStringLiteral("^([0-9]+)\\.mp4$"));
    const QDir folder(folderPath());
    // A record names its key's file, and the files its addresses point at.
    QSet<QString> named;
    const auto name = [&named](const QString& path) { named.insert(QFileInfo(path).absoluteFilePath()); };
    for (const WallpaperModel& wallpaper : list_->records()) {
        name(folder.filePath(QString::number(*wallpaper.key) + QStringLiteral(".mp4")));
        for (const std::optional<WebAddress>* address : {&wallpaper.masterUrl, &wallpaper.videoUrl,
                 &wallpaper.previewhdUrl, &wallpaper.imageUrl, &wallpaper.posterUrl}) {
            if (*address && (*address)->isLocalFile())
                name((*address)->toLocalFile());
        }
    }
    // A stored row that could not be read is still its video's record: it is never replaced.
    QSet<QString> storedKeys;
    for (const StoredRow& row : defaults_.rows(kCustomWallpapersKey))
        storedKeys.insert(row.key);
    for (const QFileInfo& entry : CacheFolder::entries(folder.path())) {
        const QRegularExpressionMatch match = finalName.match(entry.fileName());
        bool number = false;
        const qint64 key = match.captured(1).toLongLong(&number);
        // Only the name the program gives a key's video ("77.mp4", never "0077.mp4"): the list
        // and its clearing find the video by that name.
        if (!entry.isFile() || !match.hasMatch() || !number || match.captured(1) != QString::number(key)
            || named.contains(entry.absoluteFilePath())
            || list_->records().contains(key))
            continue;
        if (storedKeys.contains(QString::number(key))) {
            log(QStringLiteral("⚠️"), QStringLiteral("Kept a video whose stored record cannot be read, and its record: ") + entry.fileName());
            continue;
        }
        OwnVideoFacts facts;
        facts.bytes = entry.size();
        addCustomWallpaper(facts.record(QUrl::fromLocalFile(entry.absoluteFilePath()), key,
            OwnVideoFacts::wallpaperTitle(entry.fileName()), QStringLiteral("Custom")));
        log(QStringLiteral("📁"), QStringLiteral("Listed again a video no wallpaper named: ") + entry.fileName());
    }
}

int CustomWallpapersService::deleteVideos(const QList<qint64>& keys)
{
    const QDir folder(folderPath());
    // Made as the import makes it, the user's alone; a failure only means there is nothing to
    // delete.
    QString reason;
    if (!Paths::makePrivateFolder(folder.path(), &reason))
        log(QStringLiteral("⚠️"), QStringLiteral("Could not create the custom wallpapers folder: ") + reason);
    int deleted = 0;
    for (const qint64 key : keys) {
        const QString name = QString::number(key) + QStringLiteral(".mp4");
        QFile file(folder.filePath(name));
        if (!file.exists())
            continue;
        if (file.remove()) {
            ++deleted;
            log(QStringLiteral("🗑️"), QStringLiteral("Deleted file: ") + name);
        } else {
            log(QStringLiteral("⚠️"), QStringLiteral("Failed to delete file %1: %2").arg(name, file.errorString()));
        }
    }
    return deleted;
}

void CustomWallpapersService::log(const QString& emoji, const QString& message) const
{
    logLine(emoji, kType, message);
}
