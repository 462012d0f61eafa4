#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QWidgetAction;
class PlaylistControlsRowView;
class ThumbnailMenuItemView;

// The items of the tray menu, made once and never replaced, in their fixed order: the current
// wallpaper's picture, the version, the playback row, "Open Quorvelle", the Recents and
// Playlists submenus, the CPU, RAM and cache readouts, "Clear Cache", "Clear RAM", "Start on
// login" and "Quit". Two menus show them: the popup menu with the drawn rows, and the tray's
// context menu with the plain items only (trays that export menus over D-Bus cannot show
// widgets); both share the same actions, so a change shows in both. Knows nothing of the
// services; its owner connects the actions and fills the submenus. GUI thread.
class StatusMenu : public QObject {
    Q_OBJECT

public:
    static constexpr int kMinimumWidth = 240;

    explicit StatusMenu(QObject* parent = nullptr);
    ~StatusMenu() override;

    // "Version <version>", "Unknown" when the application has none.
    static QString versionTitle();

    QMenu* popupMenu() const { return popupMenu_; }
    QMenu* contextMenu() const { return contextMenu_; }

    QWidgetAction* thumbnailItem() const { return thumbnailItem_; }
    ThumbnailMenuItemView* thumbnailView() const;
    QAction* versionItem() const { return versionItem_; }
    PlaylistControlsRowView* playlistControlsView() const;
    QAction* openItem() const { return openItem_; }
    QMenu* recentsSubmenu() const { return recentsSubmenu_; }
    QMenu* playlistsSubmenu() const { return playlistsSubmenu_; }
    QAction* cpuUsageItem() const { return cpuUsageItem_; }
    QAction* ramUsageItem() const { return ramUsageItem_; }
    QAction* cacheUsageItem() const { return cacheUsageItem_; }
    QAction* clearCacheItem() const { return clearCacheItem_; }
    QAction* clearRamItem() const { return clearRamItem_; }
    QAction* startOnLoginItem() const { return startOnLoginItem_; }
    QAction* quitItem() const { return quitItem_; }

    // Empties a submenu; the actions go on a later turn, as one of them may be the sender of the
    // signal being handled.
    static void clearSubmenu(QMenu* submenu);

private:
    static void applyAppearance(QMenu* menu);
    QAction* createItem(const QString& title, const QString& symbol, bool enabled);
    QMenu* createSubmenu(const QString& title, const QString& symbol);
    void createPictureRows();
    void createPlaylistControlsRow();
    void fillPopupMenu();
    void fillContextMenu();

    // Deleted by the owner: menus without a parent widget are top-level windows.
    QMenu* popupMenu_;
    QMenu* contextMenu_;
    QWidgetAction* thumbnailItem_ = nullptr;
    QPointer<ThumbnailMenuItemView> thumbnailView_;
    QWidgetAction* spacerItem_ = nullptr;
    QAction* versionItem_ = nullptr;
    QWidgetAction* playlistControlsItem_ = nullptr;
    QPointer<PlaylistControlsRowView> playlistControlsView_;
    QAction* openItem_ = nullptr;
    QMenu* recentsSubmenu_ = nullptr;
    QMenu* playlistsSubmenu_ = nullptr;
    QAction* cpuUsageItem_ = nullptr;
    QAction* ramUsageItem_ = nullptr;
    QAction* cacheUsageItem_ = nullptr;
    QAction* clearCacheItem_ = nullptr;
    QAction* clearRamItem_ = nullptr;
    QAction* startOnLoginItem_ = nullptr;
    QAction* quitItem_ = nullptr;
};
