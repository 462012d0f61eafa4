#include "library/RecentsWallpapersService.h"

#include "engine/WallpaperApplyService.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "library/PersonalWallpaperList.h"

namespace {
const QString kType = QStringLiteral("RecentsWallpapersService");
}

RecentsWallpapersService::RecentsWallpapersService(QObject* parent)
    : RecentsWallpapersService(UserDefaults::standard(), parent)
{
}

RecentsWallpapersService::RecentsWallpapersService(UserDefaults& defaults, QObject* parent)
    : QObject(parent)
    , list_(std::make_unique<PersonalWallpaperList>(defaults, kRecentsWallpapersKey,
          StoredList::Lines{kType, QStringLiteral("🕒"), QStringLiteral("recent wallpapers"),
              QStringLiteral("Loaded %1 recent wallpapers from UserDefaults"),
              QStringLiteral("Saved %1 recent wallpapers to UserDefaults")}))
{
    list_->load(kMaxRecents);
    list_->reloadWhenReplaced(this, [this] {
        emit recentsOrderChanged();
        emit recentsWallpapersChanged();
    });
    connect(&WallpaperApplyService::shared(), &WallpaperApplyService::wallpaperApplied, this, &RecentsWallpapersService::addWallpaper);
}

RecentsWallpapersService::~RecentsWallpapersService() = default;

const WallpapersByKey& RecentsWallpapersService::recentsWallpapers() const { return list_->records(); }
const QList<qint64>& RecentsWallpapersService::recentsOrder() const { return list_->order(); }
QList<WallpaperModel> RecentsWallpapersService::recentWallpapersInOrder() const { return list_->inOrder(); }

RecentsWallpapersService& RecentsWallpapersService::shared() { return Shared<RecentsWallpapersService>::instance(); }

void RecentsWallpapersService::addWallpaper(const WallpaperModel& wallpaper)
{
    if (!wallpaper.key) {
        log(QStringLiteral("⚠️"), QStringLiteral("Cannot add wallpaper to recents - key is nil"));
        return;
    }
    const qint64 key = *wallpaper.key;
    bool orderChanged = list_->moveToFront(key);
    bool recordsChanged = list_->put(wallpaper);
    if (list_->keepFirst(kMaxRecents))
        orderChanged = recordsChanged = true;
    if (orderChanged)
        emit recentsOrderChanged();
    if (recordsChanged)
        emit recentsWallpapersChanged();
    list_->save();
    log(QStringLiteral("➕"), QStringLiteral("Added wallpaper %1 to recents").arg(key));
}

void RecentsWallpapersService::clearRecents()
{
    if (list_->clearRecords())
        emit recentsWallpapersChanged();
    if (list_->clearOrder())
        emit recentsOrderChanged();
    list_->save();
    log(QStringLiteral("🗑️"), QStringLiteral("Cleared all recent wallpapers"));
}

void RecentsWallpapersService::log(const QString& emoji, const QString& message) const
{
    logLine(emoji, kType, message);
}
