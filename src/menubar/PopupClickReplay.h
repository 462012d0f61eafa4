#pragma once

#include <QObject>

class QMenu;

// A click outside an open menu closes it. On X11 the window system hands that click to the
// menu, which holds the pointer, and once the menu is gone nothing passes it on: the user's
// first click in the main window after dismissing the tray menu would do nothing. This watches
// the menu (and the submenus it holds) and, when a press outside all of them closes it, clicks
// the same spot of the window beneath once the menu is gone. GUI thread; owned by the menu.
class PopupClickReplay : public QObject {
    Q_OBJECT

public:
    explicit PopupClickReplay(QMenu* menu);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Submenus are made and filled after the menu: they are followed each time it opens.
    void followSubmenus();

    // The watched menu as an object only: the filter still hears it while it is being destroyed,
    // when it is no longer a menu.
    QObject* const menu_;
};
