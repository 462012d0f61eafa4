#pragma once

#include "library/WallpapersByKey.h"

#include <QList>
#include <QObject>

#include <memory>

class PersonalWallpaperList;
class UserDefaults;

// The last ten applied wallpapers, newest first, for the tray menu's recents: the tray menu and
// the full-screen view record what they apply, and every apply of the shared apply service
// (heard through its signal, from the moment this list is made) joins too. Stored as the rows of
// "recentsWallpapersModels", each change writing the rows it touches. A stored list longer than
// ten (a foreign or damaged store) is cut to its first ten on load.
// Publishes real changes only. One shared instance on the GUI thread.
class RecentsWallpapersService : public QObject {
    Q_OBJECT
    Q_PROPERTY(WallpapersByKey recentsWallpapers READ recentsWallpapers NOTIFY recentsWallpapersChanged)
    Q_PROPERTY(QList<qint64> recentsOrder READ recentsOrder NOTIFY recentsOrderChanged)

public:
    static inline const QString kRecentsWallpapersKey = QStringLiteral("recentsWallpapersModels");
    static constexpr qsizetype kMaxRecents = 10;

    // The standard defaults store.
    explicit RecentsWallpapersService(QObject* parent = nullptr);
    // Loads the stored list before returning.
    explicit RecentsWallpapersService(UserDefaults& defaults, QObject* parent = nullptr);
    ~RecentsWallpapersService() override;

    static RecentsWallpapersService& shared();

    const WallpapersByKey& recentsWallpapers() const;
    const QList<qint64>& recentsOrder() const;
    QList<WallpaperModel> recentWallpapersInOrder() const;

    // Moves the wallpaper to the front with this record and keeps the newest ten. A record
    // without a key is refused.
    void addWallpaper(const WallpaperModel& wallpaper);
    // Stores an empty list (the key stays).
    void clearRecents();

signals:
    void recentsWallpapersChanged();
    void recentsOrderChanged();

private:
    void log(const QString& emoji, const QString& message) const;

    std::unique_ptr<PersonalWallpaperList> list_;
};
