#pragma once

#include "platform/DesktopColorScheme.h"

#include <QColor>
#include <QIcon>
#include <QObject>
#include <QPointer>

#include <optional>

class QMenu;
class QSystemTrayIcon;

// The application's item in the desktop's tray. A click opens the full popup menu at the item;
// the tray's own context menu (trays that export menus over D-Bus cannot show widget rows)
// carries the plain entries. Without a tray the item is still made, so one appears when a tray
// starts later, and the application goes on from its main window. The icon offers the
// application's icon by its name in the icon theme, when the installed theme holds it, and
// pictures drawn at the sizes trays use that follow the panel: light on a dark panel, dark on a
// light one. Where the panel cannot be seen (Wayland), they follow the desktop's colour-scheme
// preference, when it gives one. GUI thread; owned by the menu-bar manager.
class StatusItem : public QObject {
    Q_OBJECT

public:
    // The sizes trays show their items at, small panels to large ones.
    static constexpr int kPictureSizes[] = {16, 22, 24, 32, 48};
    // How often the panel's colour is looked at again (the desktop's theme may change).
    static constexpr int kPanelCheckMs = 2'000;

    StatusItem(QMenu* popupMenu, QMenu* contextMenu, QObject* parent = nullptr);
    ~StatusItem() override;

    // The tray's icon: the theme's name (see themeIconName) and our logo in `color` at each
    // size, else a stand-in symbol (with a warning line).
    static QIcon picture(const QColor& color);
    // The application id when the icon theme holds an icon of that name (the installed
    // program's), else nothing.
    static QString themeIconName();
    // The picture's colour on a panel of this colour.
    static QColor pictureColorOn(const QColor& panel);
    // The picture's colour for the desktop's colour-scheme preference: dark for a light scheme,
    // light for a dark one and where the desktop prefers neither (most panels are dark).
    static QColor pictureColorFor(DesktopColorScheme::Preference preference);
    // The logo files, first existing one wins.
    static QStringList pictureCandidates();

    bool isTrayAvailable() const;
    QSystemTrayIcon* trayIcon() const { return trayIcon_; }

    // Opens the popup menu at the tray item, or at the pointer when the tray does not say where
    // its item is.
    void openPopupMenu();

private:
    // The colour the tray shows around the item; none while the tray does not say where it is.
    std::optional<QColor> panelColor() const;
    void followPanel();
    void followColorScheme(const DesktopColorScheme& scheme);
    void showPictureIn(const QColor& color);

    QPointer<QMenu> popupMenu_;
    QSystemTrayIcon* trayIcon_;
    QColor pictureColor_;
};
