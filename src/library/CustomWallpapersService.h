#pragma once

#include "library/WallpapersByKey.h"

#include <QList>
#include <QObject>

#include <memory>
#include <stop_token>

class PersonalWallpaperList;
class UserDefaults;

// The user's own wallpapers, newest first: videos imported for personal use, each a record whose
// key names its file "<key>.mp4" in "Quorvelle/custom" under Application Support. The own-
// wallpapers screen shows them, the playlist sheets offer them, the tray menu looks them up by
// key. Stored whole under "customWallpapersModels" on every change; the key is never removed.
// Every assignment to a published list is announced, once all changes of an operation are made.
// One shared instance on the GUI thread.
class CustomWallpapersService : public QObject {
    Q_OBJECT
    Q_PROPERTY(WallpapersByKey customWallpapers READ customWallpapers NOTIFY customWallpapersChanged)
    Q_PROPERTY(QList<qint64> customOrder READ customOrder NOTIFY customOrderChanged)

public:
    static inline const QString kCustomWallpapersKey = QStringLiteral("customWallpapersModels");

    // The standard defaults store and the user's Application Support folder.
    explicit CustomWallpapersService(QObject* parent = nullptr);
    // Loads the stored list before returning. `applicationSupport` empty: the folder is unknown,
    // and no file is ever deleted.
    CustomWallpapersService(UserDefaults& defaults, QString applicationSupport, QObject* parent = nullptr);
    ~CustomWallpapersService() override;

    static CustomWallpapersService& shared();

    const WallpapersByKey& customWallpapers() const;
    const QList<qint64>& customOrder() const;
    QList<WallpaperModel> orderedCustomWallpapers() const;
    // "<Application Support>/Quorvelle/custom".
    QString folderPath() const;
    // False when the Application Support folder is unknown.
    bool knowsFolder() const { return !applicationSupport_.isEmpty(); }

    // Puts the record at the front, replacing an earlier record of its key. A record without a
    // key is refused.
    void addCustomWallpaper(const WallpaperModel& wallpaper);
    // Stores an empty list.
    void clearAllCustomWallpapers();
    // Deletes the video of every listed key (other files stay), then clears the list. False,
    // with nothing changed, when the folder is unknown.
    bool clearCustomWallpapersCache();
    // Removes the unfinished copies an import of this program cut short by a kill left in the
    // folder ("<digits>.mp4.part", "<digits>.mp4.previous.part"), and nothing else; run at
    // launch, before any import starts.
    void removeUnfinishedImports() const;
    // Lists again each video under a final name ("<digits>.mp4") that no record names (its record
    // was lost with a settings file, or never reached the disk): a video of the user's is never
    // deleted for lacking a record. Named from its file, at the front; a stored record that could
    // not be read is kept in place of that. Run at launch.
    void adoptUnlistedVideos();

    // The application is ending: copies into the folder stop at their next block, and none
    // becomes a video from now on. Imports read it from any thread.
    void stopImports() { importsStop_.request_stop(); }
    bool importsStopped() const { return importsStop_.stop_requested(); }
    std::stop_token importsStopToken() const { return importsStop_.get_token(); }

signals:
    void customWallpapersChanged();
    void customOrderChanged();

private:
    // The number of files deleted.
    int deleteVideos(const QList<qint64>& keys);
    void log(const QString& emoji, const QString& message) const;

    UserDefaults& defaults_;
    const QString applicationSupport_;
    std::unique_ptr<PersonalWallpaperList> list_;
    std::stop_source importsStop_;
};
