#pragma once

#include "engine/PerMonitorEntry.h"
#include "engine/WallpaperScreenType.h"
#include "foundation/SettingsChange.h"

#include <QMap>
#include <QObject>
#include <QUrl>

#include <optional>

class QJsonObject;
class UserDefaults;

// Remembers the applied wallpaper so that launch, the menu-bar item and display changes can put
// it back: one single record (key, screen type, video address) and one record per display, each
// a row keyed by the display's persistence identifier. Every operation reads the store afresh and
// never fails; nothing else reads these keys. A per-display record that cannot be read is skipped
// and logged but kept, so no display's record is lost to another's change or damage.
// One shared instance on the GUI thread.
class WallpaperPersistenceService : public QObject {
    Q_OBJECT

public:
    static inline const QString kWallpaperKeyKey = QStringLiteral("savedWallpaperKey");
    static inline const QString kWallpaperScreenKey = QStringLiteral("savedWallpaperScreen");
    static inline const QString kWallpaperMasterUrlKey = QStringLiteral("savedWallpaperMasterUrl");
    static inline const QString kPerMonitorKey = QStringLiteral("savedPerMonitorWallpapers");

    struct SavedWallpaper {
        qint64 key = 0;
        WallpaperScreenType screen = WallpaperScreenType::homeScreen;
        QUrl masterUrl;
    };
    struct SavedDisplayWallpaper {
        qint64 key = 0;
        QUrl masterUrl;
    };

    // The standard defaults store.
    explicit WallpaperPersistenceService(QObject* parent = nullptr);
    explicit WallpaperPersistenceService(UserDefaults& defaults, QObject* parent = nullptr);

    static WallpaperPersistenceService& shared();

    // A stored address as a URL; nothing for an empty text or one that is not a valid URL.
    static std::optional<QUrl> storedUrl(const QString& text);

    void saveWallpaper(qint64 key, const QUrl& masterUrl);
    std::optional<SavedWallpaper> loadSavedWallpaper() const;
    // The per-display records stay.
    void clearSavedWallpaper();

    void savePerMonitorWallpaper(const QString& displayPersistenceID, qint64 key, const QUrl& masterUrl);
    // Every record that can be read, by display persistence identifier.
    QMap<QString, PerMonitorEntry> loadPerMonitorWallpapers() const;
    // Nothing when the display has no readable record or its address is not a URL.
    std::optional<SavedDisplayWallpaper> loadPerMonitorWallpaper(const QString& displayPersistenceID) const;
    void removePerMonitorWallpaper(const QString& displayPersistenceID);
    // Forgets every display's record, an unreadable document included.
    void clearAllPerMonitorWallpapers();

Q_SIGNALS:
    // The settings file, unreadable at launch, was read at last: the saved wallpapers read now
    // are the stored ones (with this session's changes on top).
    void readLate();

private:
    // The displays' rows, with those of the one document earlier versions kept made first (the
    // document then goes); a display's row wins over its record in the document.
    QList<StoredRow> perMonitorRows() const;
    void log(const QString& emoji, const QString& message) const;
    // "Saved <what>: <details>" once committed, else where it is kept until it can be.
    void logSaved(bool committed, const QString& what, const QString& details) const;

    // Rows are made from an earlier version's document at their first read.
    UserDefaults& defaults_;
};
