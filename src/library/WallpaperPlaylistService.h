#pragma once

#include "model/WallpaperPlaylist.h"

#include <QList>
#include <QObject>
#include <QUuid>

#include <memory>
#include <optional>

class Clock;
class StoredList;
class UserDefaults;

// The user's playlists, newest first, stored whole as one JSON array under "wallpaperPlaylists"
// on every change. It knows nothing of rotation: the rotation reads playlists by id and listens
// to the deletion signals. Operations address a playlist by id (the first record with it); an
// unknown id changes nothing, silently. Every write into `playlists` is announced. One shared
// instance on the GUI thread.
class WallpaperPlaylistService : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<WallpaperPlaylist> playlists READ playlists NOTIFY playlistsChanged)

public:
    static inline const QString kPlaylistsKey = QStringLiteral("wallpaperPlaylists");
    // The member that keys each stored playlist's row.
    static inline const QString kIdField = QStringLiteral("id");

    // The standard defaults store and the system clock.
    explicit WallpaperPlaylistService(QObject* parent = nullptr);
    // Loads the stored playlists before returning; `clock` dates new playlists.
    WallpaperPlaylistService(UserDefaults& defaults, const Clock& clock, QObject* parent = nullptr);
    ~WallpaperPlaylistService() override;

    static WallpaperPlaylistService& shared();

    const QList<WallpaperPlaylist>& playlists() const { return playlists_; }
    // The first playlist with the id, as the rotation looks it up.
    std::optional<WallpaperPlaylist> playlist(const QUuid& id) const;
    // Something stored could not be read (the whole list or a part of it): it stays stored as it
    // is, and a playlist missing here may still be in it.
    bool isIncomplete() const;

    // A new empty playlist at the front, with a fresh id and the current date.
    WallpaperPlaylist createPlaylist(const QString& name, qint64 autoChangeIntervalSeconds);
    // Replaces the whole key list, order and duplicates as given.
    void setWallpaperKeys(const QList<qint64>& keys, const QUuid& playlistId);
    // Sets what is given (an empty name too); saves also when nothing is given.
    void updatePlaylist(const QUuid& playlistId, const std::optional<QString>& name,
        std::optional<qint64> autoChangeIntervalSeconds);
    // Every occurrence of the key goes; saves and logs also when it was not there.
    void removeWallpaper(qint64 key, const QUuid& playlistId);
    void removeWallpaper(qint64 key, const WallpaperPlaylist& playlist);
    // Merges the keys in: the playlist's keys keep their order (repeats dropped), new keys follow
    // in the order given. The line counts the keys passed in.
    void addWallpapers(const QList<qint64>& keys, const QUuid& playlistId);
    void addWallpapers(const QList<qint64>& keys, const WallpaperPlaylist& playlist);
    // Takes the key out of every playlist; saves and logs only when one held it.
    void removeWallpaperFromAllPlaylists(qint64 key);
    // Removes every record with the id and saves (only the save line). The rotation stops the
    // playlist first when it is the active one, and again through playlistDeleted().
    void deletePlaylist(const QUuid& playlistId);
    // Stores an empty list, also when there were no playlists.
    void deleteAllPlaylists();

signals:
    void playlistsChanged();
    // After a deletion is stored. The rotation connects to these to end the rotation of an
    // active playlist that no longer exists.
    void playlistDeleted(const QUuid& playlistId);
    void allPlaylistsDeleted();

private:
    // -1 when no playlist has the id.
    qsizetype indexOf(const QUuid& playlistId) const;
    void writeBack(qsizetype index, WallpaperPlaylist playlist);
    void loadPlaylists();
    void savePlaylists();
    void log(const QString& message) const;

    const Clock& clock_;
    std::unique_ptr<StoredList> stored_;
    QList<WallpaperPlaylist> playlists_;
};
