#include "menubar/StatusMenu.h"

#include "foundation/ApplicationId.h"
#include "menubar/MenuSpacerView.h"
#include "menubar/MenuSymbols.h"
#include "menubar/PlaylistControlsRowView.h"
#include "menubar/PopupClickReplay.h"
#include "menubar/ThumbnailMenuItemView.h"
#include "ui/DarkAppearance.h"

#include <QCoreApplication>
#include <QMenu>
#include <QWidgetAction>

StatusMenu::StatusMenu(QObject* parent) : QObject(parent), popupMenu_(new QMenu()), contextMenu_(new QMenu())
{
    applyAppearance(popupMenu_);
    applyAppearance(contextMenu_);
    popupMenu_->setMinimumWidth(kMinimumWidth);
    // The menu keeps its two separators in a row as they are.
    popupMenu_->setSeparatorsCollapsible(false);
    contextMenu_->setSeparatorsCollapsible(false);
    createPictureRows();
    versionItem_ = createItem(versionTitle(), QStringLiteral("info.circle"), false);
    createPlaylistControlsRow();
    openItem_ = createItem(tr("Open %1").arg(ApplicationId::displayName()), QStringLiteral("app.badge"), true);
    recentsSubmenu_ = createSubmenu(tr("Recents"), QStringLiteral("clock"));
    playlistsSubmenu_ = createSubmenu(tr("Playlists"), QStringLiteral("list.bullet"));
    cpuUsageItem_ = createItem(tr("CPU: --"), QStringLiteral("cpu"), false);
    ramUsageItem_ = createItem(tr("RAM: --"), QStringLiteral("memorychip"), false);
    cacheUsageItem_ = createItem(tr("Cache: --"), QStringLiteral("externaldrive"), false);
    clearCacheItem_ = createItem(tr("Clear Cache"), QStringLiteral("trash"), true);
    clearRamItem_ = createItem(tr("Clear RAM"), QStringLiteral("memorychip"), true);
    startOnLoginItem_ = createItem(tr("Start on login"), QStringLiteral("power"), true);
    startOnLoginItem_->setCheckable(true);
    // A checked item with a picture only gets a faint frame around it: when on, the picture
    // itself becomes a check mark.
    connect(startOnLoginItem_, &QAction::toggled, this, [this](bool on) {
        startOnLoginItem_->setIcon(MenuSymbols::menuIcon(on ? QStringLiteral("checkmark") : QStringLiteral("power")));
    });
    quitItem_ = createItem(tr("Quit"), QStringLiteral("xmark.circle"), true);
    quitItem_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    fillPopupMenu();
    fillContextMenu();
    new PopupClickReplay(popupMenu_);
    new PopupClickReplay(contextMenu_);
}

StatusMenu::~StatusMenu()
{
    delete contextMenu_;
    delete popupMenu_;
}

QString StatusMenu::versionTitle()
{
    const QString version = QCoreApplication::applicationVersion();
    return tr("Version %1").arg(version.isEmpty() ? tr("Unknown") : version);
}

ThumbnailMenuItemView* StatusMenu::thumbnailView() const { return thumbnailView_; }
PlaylistControlsRowView* StatusMenu::playlistControlsView() const { return playlistControlsView_; }

void StatusMenu::applyAppearance(QMenu* menu)
{
    // Menus are windows of their own: each takes the application's dark appearance itself.
    DarkAppearance::apply(menu);
    // Dimmed items are drawn flat: an etched light copy reads as a smudge on a dark menu.
    QPalette palette = menu->palette();
    palette.setColor(QPalette::Disabled, QPalette::Light, Qt::transparent);
    menu->setPalette(palette);
}

QAction* StatusMenu::createItem(const QString& title, const QString& symbol, bool enabled)
{
    auto* item = new QAction(title, this);
    item->setIcon(MenuSymbols::menuIcon(symbol));
    item->setIconVisibleInMenu(true);
    // Readouts and the version are information, never commands.
    item->setEnabled(enabled);
    return item;
}

QMenu* StatusMenu::createSubmenu(const QString& title, const QString& symbol)
{
    auto* submenu = new QMenu(title, popupMenu_);
    applyAppearance(submenu);
    submenu->setIcon(MenuSymbols::menuIcon(symbol));
    return submenu;
}

void StatusMenu::createPictureRows()
{
    thumbnailView_ = new ThumbnailMenuItemView();
    thumbnailItem_ = new QWidgetAction(this);
    thumbnailItem_->setDefaultWidget(thumbnailView_);
    thumbnailItem_->setEnabled(false);
    // Shown while a wallpaper runs.
    thumbnailItem_->setVisible(false);

    spacerItem_ = new QWidgetAction(this);
    spacerItem_->setDefaultWidget(new MenuSpacerView());
    spacerItem_->setEnabled(false);
}

void StatusMenu::createPlaylistControlsRow()
{
    playlistControlsView_ = new PlaylistControlsRowView();
    playlistControlsItem_ = new QWidgetAction(this);
    playlistControlsItem_->setDefaultWidget(playlistControlsView_);
}

void StatusMenu::fillPopupMenu()
{
    QMenu* menu = popupMenu_;
    menu->addAction(thumbnailItem_);
    menu->addAction(spacerItem_);
    menu->addAction(versionItem_);
    menu->addSeparator();
    menu->addAction(playlistControlsItem_);
    menu->addSeparator();
    menu->addAction(openItem_);
    menu->addSeparator();
    menu->addMenu(recentsSubmenu_);
    menu->addMenu(playlistsSubmenu_);
    menu->addSeparator();
    menu->addActions({cpuUsageItem_, ramUsageItem_, cacheUsageItem_});
    menu->addSeparator();
    menu->addSeparator();
    menu->addActions({clearCacheItem_, clearRamItem_, startOnLoginItem_});
    menu->addSeparator();
    menu->addAction(quitItem_);
}

void StatusMenu::fillContextMenu()
{
    QMenu* menu = contextMenu_;
    menu->addAction(versionItem_);
    menu->addSeparator();
    menu->addAction(openItem_);
    menu->addSeparator();
    menu->addMenu(recentsSubmenu_);
    menu->addMenu(playlistsSubmenu_);
    menu->addSeparator();
    menu->addActions({cpuUsageItem_, ramUsageItem_, cacheUsageItem_});
    menu->addSeparator();
    menu->addActions({clearCacheItem_, clearRamItem_, startOnLoginItem_});
    menu->addSeparator();
    menu->addAction(quitItem_);
}

void StatusMenu::clearSubmenu(QMenu* submenu)
{
    const QList<QAction*> items = submenu->actions();
    for (QAction* item : items) {
        submenu->removeAction(item);
        item->deleteLater();
    }
}
