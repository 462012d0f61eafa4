#include "library/LikedWallpapersService.h"

#include "backend/WallpaperCounterService.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "library/WallpaperPlaylistService.h"

#include <utility>

namespace {
const QString kType = QStringLiteral("LikedWallpapersService");
}

LikedWallpapersService::LikedWallpapersService(QObject* parent)
    : LikedWallpapersService(UserDefaults::standard(), WallpaperPlaylistService::shared(),
          WallpaperCounterService::shared(), parent)
{
}

LikedWallpapersService::LikedWallpapersService(UserDefaults& defaults, WallpaperPlaylistService& playlists,
    WallpaperCounterService& counter, QObject* parent)
    : QObject(parent)
    , defaults_(defaults)
    , playlists_(playlists)
    , counter_(counter)
    , list_(std::make_unique<PersonalWallpaperList>(defaults, kLikedWallpapersKey,
          StoredList::Lines{kType, QStringLiteral("❤️"), QStringLiteral("liked wallpapers"),
              QStringLiteral("Loaded  %1 liked wallpapers from UserDefaults"),
              QStringLiteral("Saved %1 liked wallpapers to UserDefaults")}))
{
    // Only a store that could not read its file at launch replaces the list later: nothing was
    // there to decode then.
    list_->reloadWhenReplaced(this, [this] {
        emit likedOrderChanged();
        emit likedWallpapersChanged();
    });
    connect(&keysLoading_, &QFutureWatcherBase::finished, this, [this] {
        if (loaded_)
            return;
        storedKeys_ = keysLoading_.future().result();
        emit waitingChangesChanged();
    });
    connect(&loading_, &QFutureWatcherBase::finished, this, [this] {
        finishLoading();
        storedKeys_ = {};
        emit isLoadingChanged(false);
        if (!list_->order().isEmpty()) {
            emit likedOrderChanged();
            emit likedWallpapersChanged();
        }
        makeWaitingChanges();
    });
    // The keys come first, so that the hearts show them from Home's first paint on.
    const QFuture<QSet<qint64>> keys = list_->storedKeysOnWorker();
    keysLoading_.setFuture(keys);
    loading_.setFuture(list_->decodeOnWorker(PersonalWallpaperList::kSliceBytes, keys));
}

LikedWallpapersService::~LikedWallpapersService() { flush(); }

const WallpapersByKey& LikedWallpapersService::likedWallpapers() const
{
    finishLoading();
    return list_->records();
}

const QList<qint64>& LikedWallpapersService::likedOrder() const
{
    finishLoading();
    return list_->order();
}

QList<WallpaperModel> LikedWallpapersService::likedWallpapersInOrder() const
{
    finishLoading();
    return list_->inOrder();
}

void LikedWallpapersService::finishLoading() const
{
    if (std::exchange(loaded_, true))
        return;
    // Waits for the worker, or decodes here when no worker took the task up yet; the records
    // are moved out, never copied.
    list_->takeIn(loading_.future().takeResult());
}

bool LikedWallpapersService::waitForList(qint64 key, bool liked, std::function<void()> change)
{
    // Once one change waits, the later ones wait behind it, so they are made in the user's order.
    if (loaded_ && waiting_.isEmpty())
        return false;
    waiting_.append(std::move(change));
    waitingLiked_.insert(key, liked);
    emit waitingChangesChanged();
    return true;
}

void LikedWallpapersService::makeWaitingChanges()
{
    finishLoading();
    // Hearts keep showing what the waiting changes will leave until all of them are made.
    for (const std::function<void()>& change : std::exchange(waiting_, {}))
        change();
    if (!std::exchange(waitingLiked_, {}).isEmpty())
        emit waitingChangesChanged();
}

bool LikedWallpapersService::showsLiked(qint64 key) const
{
    if (const auto waiting = waitingLiked_.constFind(key); waiting != waitingLiked_.cend())
        return *waiting;
    return loaded_ ? list_->records().contains(key) : storedKeys_.contains(key);
}

void LikedWallpapersService::flush()
{
    if (!waiting_.isEmpty())
        makeWaitingChanges();
    defaults_.flush();
}

LikedWallpapersService& LikedWallpapersService::shared() { return Shared<LikedWallpapersService>::instance(); }

void LikedWallpapersService::addWallpaper(const WallpaperModel& wallpaper, bool skipCounter)
{
    if (!wallpaper.key) {
        log(QStringLiteral("⚠️"), QStringLiteral("Cannot add wallpaper - key is nil"));
        return;
    }
    if (waitForList(*wallpaper.key, true, [this, wallpaper, skipCounter] { addWallpaper(wallpaper, skipCounter); }))
        return;
    const qint64 key = *wallpaper.key;
    // Both changes are made before either is announced, so observers never see a key without
    // its record.
    const bool orderChanged = list_->moveToFront(key);
    const bool recordsChanged = list_->put(wallpaper);
    if (orderChanged)
        emit likedOrderChanged();
    if (recordsChanged)
        emit likedWallpapersChanged();
    list_->save();
    log(QStringLiteral("❤️"), QStringLiteral("Added wallpaper %1 (%2) to liked list").arg(key).arg(wallpaper.title));
    if (!skipCounter) {
        // Reported later, on its own: the like stands whatever the backend answers.
        launch([&counter = counter_, key] { return counter.incrementLikes(key); }, kType);
    }
}

void LikedWallpapersService::likeUnlessLiked(const WallpaperModel& wallpaper)
{
    if (wallpaper.key && waitForList(*wallpaper.key, true, [this, wallpaper] { likeUnlessLiked(wallpaper); }))
        return;
    // A record without a key is refused there, with its line.
    if (!wallpaper.key || !list_->records().contains(*wallpaper.key))
        addWallpaper(wallpaper, false);
}

void LikedWallpapersService::removeWallpaper(std::optional<qint64> key)
{
    if (!key) {
        log(QStringLiteral("⚠️"), QStringLiteral("Cannot remove wallpaper - key is nil"));
        return;
    }
    if (waitForList(*key, false, [this, key] { removeWallpaper(key); }))
        return;
    const bool orderChanged = list_->removeFromOrder(*key);
    const bool recordsChanged = list_->removeRecord(*key);
    if (orderChanged)
        emit likedOrderChanged();
    if (recordsChanged)
        emit likedWallpapersChanged();
    list_->save();
    playlists_.removeWallpaperFromAllPlaylists(*key);
    log(QStringLiteral("💔"), QStringLiteral("Removed wallpaper %1 from liked list").arg(*key));
}

void LikedWallpapersService::removeWallpaper(const WallpaperModel& wallpaper) { removeWallpaper(wallpaper.key); }

void LikedWallpapersService::log(const QString& emoji, const QString& message) const
{
    logLine(emoji, kType, message);
}
