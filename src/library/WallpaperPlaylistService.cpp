#include "library/WallpaperPlaylistService.h"

#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "library/StoredList.h"

#include <QSet>

namespace {
// A stored playlist and the wallpaper keys it lost on the way.
struct StoredPlaylist {
    WallpaperPlaylist playlist;
    QList<JsonError> skippedKeys;

    // The stored form of what was read, which the list compares its next save with.
    QJsonObject toJson() const { return playlist.toJson(); }

    static StoredPlaylist fromJson(const JsonReader& json)
    {
        StoredPlaylist stored;
        stored.playlist = WallpaperPlaylist::fromJson(json, &stored.skippedKeys);
        return stored;
    }
};
} // namespace

WallpaperPlaylistService::WallpaperPlaylistService(QObject* parent)
    : WallpaperPlaylistService(UserDefaults::standard(), Clock::system(), parent)
{
}

WallpaperPlaylistService::WallpaperPlaylistService(UserDefaults& defaults, const Clock& clock, QObject* parent)
    : QObject(parent)
    , clock_(clock)
    , stored_(std::make_unique<StoredList>(defaults, kPlaylistsKey, kIdField,
          StoredList::Lines{QStringLiteral("WallpaperPlaylistService"), QStringLiteral("📋"), QStringLiteral("playlists"),
              QStringLiteral("Loaded %1 playlists"), QStringLiteral("Saved %1 playlists")}))
{
    loadPlaylists();
    stored_->watchReplacement(this, [this] {
        playlists_.clear();
        loadPlaylists();
        emit playlistsChanged();
    });
}

WallpaperPlaylistService::~WallpaperPlaylistService() = default;

WallpaperPlaylistService& WallpaperPlaylistService::shared() { return Shared<WallpaperPlaylistService>::instance(); }

std::optional<WallpaperPlaylist> WallpaperPlaylistService::playlist(const QUuid& id) const
{
    const qsizetype index = indexOf(id);
    return index < 0 ? std::nullopt : std::optional(playlists_.at(index));
}

WallpaperPlaylist WallpaperPlaylistService::createPlaylist(const QString& name, qint64 autoChangeIntervalSeconds)
{
    const WallpaperPlaylist created{QUuid::createUuid(), name, autoChangeIntervalSeconds, {}, clock_.now()};
    playlists_.prepend(created);
    emit playlistsChanged();
    savePlaylists();
    log(QStringLiteral("Created playlist: ") + name);
    return created;
}

void WallpaperPlaylistService::setWallpaperKeys(const QList<qint64>& keys, const QUuid& playlistId)
{
    const qsizetype index = indexOf(playlistId);
    if (index < 0)
        return;
    WallpaperPlaylist changed = playlists_.at(index);
    changed.wallpaperKeys = keys;
    writeBack(index, std::move(changed));
    savePlaylists();
}

void WallpaperPlaylistService::updatePlaylist(const QUuid& playlistId, const std::optional<QString>& name,
    std::optional<qint64> autoChangeIntervalSeconds)
{
    const qsizetype index = indexOf(playlistId);
    if (index < 0)
        return;
    WallpaperPlaylist changed = playlists_.at(index);
    if (name)
        changed.name = *name;
    if (autoChangeIntervalSeconds)
        changed.autoChangeIntervalSeconds = *autoChangeIntervalSeconds;
    writeBack(index, std::move(changed));
    savePlaylists();
}

void WallpaperPlaylistService::removeWallpaper(qint64 key, const QUuid& playlistId)
{
    const qsizetype index = indexOf(playlistId);
    if (index < 0)
        return;
    WallpaperPlaylist changed = playlists_.at(index);
    changed.wallpaperKeys.removeAll(key);
    const QString name = changed.name;
    writeBack(index, std::move(changed));
    savePlaylists();
    log(QStringLiteral("Removed wallpaper %1 from playlist: %2").arg(key).arg(name));
}

void WallpaperPlaylistService::removeWallpaper(qint64 key, const WallpaperPlaylist& playlist)
{
    removeWallpaper(key, playlist.id);
}

void WallpaperPlaylistService::addWallpapers(const QList<qint64>& keys, const QUuid& playlistId)
{
    const qsizetype index = indexOf(playlistId);
    if (index < 0)
        return;
    WallpaperPlaylist changed = playlists_.at(index);
    QList<qint64> merged;
    QSet<qint64> seen;
    auto merge = [&](const QList<qint64>& source) {
        for (const qint64 key : source) {
            if (!seen.contains(key)) {
                seen.insert(key);
                merged.append(key);
            }
        }
    };
    merge(changed.wallpaperKeys);
    merge(keys);
    changed.wallpaperKeys = std::move(merged);
    const QString name = changed.name;
    writeBack(index, std::move(changed));
    savePlaylists();
    log(QStringLiteral("Added %1 wallpapers to playlist: %2").arg(keys.size()).arg(name));
}

void WallpaperPlaylistService::addWallpapers(const QList<qint64>& keys, const WallpaperPlaylist& playlist)
{
    addWallpapers(keys, playlist.id);
}

void WallpaperPlaylistService::removeWallpaperFromAllPlaylists(qint64 key)
{
    bool changedAny = false;
    const qsizetype count = playlists_.size();
    for (qsizetype index = 0; index < count; ++index) {
        if (!playlists_.at(index).wallpaperKeys.contains(key))
            continue;
        WallpaperPlaylist changed = playlists_.at(index);
        changed.wallpaperKeys.removeAll(key);
        writeBack(index, std::move(changed));
        changedAny = true;
    }
    if (!changedAny)
        return;
    savePlaylists();
    log(QStringLiteral("Removed wallpaper %1 from all playlists").arg(key));
}

void WallpaperPlaylistService::deletePlaylist(const QUuid& playlistId)
{
    const bool deleted = playlists_.removeIf([&](const WallpaperPlaylist& playlist) { return playlist.id == playlistId; }) > 0;
    emit playlistsChanged();
    savePlaylists();
    if (deleted)
        emit playlistDeleted(playlistId);
}

void WallpaperPlaylistService::deleteAllPlaylists()
{
    playlists_.clear();
    emit playlistsChanged();
    savePlaylists();
    log(QStringLiteral("Deleted all playlists"));
    emit allPlaylistsDeleted();
}

qsizetype WallpaperPlaylistService::indexOf(const QUuid& playlistId) const
{
    for (qsizetype index = 0; index < playlists_.size(); ++index) {
        if (playlists_.at(index).id == playlistId)
            return index;
    }
    return -1;
}

void WallpaperPlaylistService::writeBack(qsizetype index, WallpaperPlaylist playlist)
{
    playlists_[index] = std::move(playlist);
    emit playlistsChanged();
}

void WallpaperPlaylistService::loadPlaylists()
{
    std::optional<QList<StoredPlaylist>> stored = stored_->load<StoredPlaylist>();
    if (!stored)
        return;
    playlists_.reserve(stored->size());
    for (StoredPlaylist& playlist : *stored) {
        for (const JsonError& error : playlist.skippedKeys)
            stored_->leaveOut(QStringLiteral("Skipped a stored wallpaper key of the playlist \"%1\": %2")
                    .arg(playlist.playlist.name, error.localizedDescription()));
        playlists_.append(std::move(playlist.playlist));
    }
    stored_->logLoaded(playlists_.size());
}

bool WallpaperPlaylistService::isIncomplete() const { return stored_->isIncomplete(); }

void WallpaperPlaylistService::savePlaylists() { stored_->save(playlists_); }

void WallpaperPlaylistService::log(const QString& message) const
{
    logLine(QStringLiteral("📋"), QStringLiteral("WallpaperPlaylistService"), message);
}
