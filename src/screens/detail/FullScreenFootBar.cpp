#include "screens/detail/FullScreenFootBar.h"

#include "library/LikedWallpapersService.h"
#include "library/RecentsWallpapersService.h"
#include "library/WallpaperPlaylistService.h"
#include "model/PartnerSiteKey.h"
#include "screens/detail/FloatingNote.h"
#include "screens/detail/FootBarIconButton.h"
#include "screens/detail/FootBarIconHoverPressModifier.h"
#include "screens/detail/FootBarTitleBlock.h"
#include "screens/detail/PlaylistAddPopoverContent.h"
#include "foundation/Async.h"
#include "ui/LikeButton.h"
#include "ui/PopoverHost.h"
#include "ui/Theme.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>

namespace {
constexpr qreal kCornerRadius = 34;
constexpr int kCopiedNoteOffset = 52;
constexpr int kRowSpacing = 10;
constexpr int kControlSpacing = 12;
} // namespace

FullScreenFootBar::Services FullScreenFootBar::Services::shared()
{
    return Services{WallpaperPlaylistService::shared(), LikedWallpapersService::shared(), RecentsWallpapersService::shared()};
}

FullScreenFootBar::FullScreenFootBar(const WallpaperModel& wallpaper, FootBarApplyControl::Actions actions, QWidget* parent)
    : FullScreenFootBar(wallpaper, actions, Services::shared(), parent)
{
}

FullScreenFootBar::FullScreenFootBar(const WallpaperModel& wallpaper, FootBarApplyControl::Actions actions, const Services& services,
    QWidget* parent)
    : GlassBackground(kCornerRadius, parent), wallpaper_(wallpaper), services_(services),
      back_(new FootBarIconButton(QStringLiteral("chevron.left"), FootBarIconButton::Look::back(), this)),
      playlist_(new FootBarIconButton(QStringLiteral("switch.2"), FootBarIconButton::Look::footBarIcon(), this)),
      like_(new LikeButton(wallpaper, LikeButton::Look::fullScreenFootBar(), services.liked, this)),
      applyControl_(new FootBarApplyControl(wallpaper, actions, this)),
      copiedNote_(new FloatingNote(tr("Copied!"), Theme::systemFont(12, QFont::Medium), QMargins(10, 6, 10, 6), 200, parent)),
      playlistHost_(new PopoverHost(this))
{
    new FootBarIconHoverPressModifier(like_);

    // One flat row: a nested layout would keep the width of an older label of the apply control.
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 12, 16, 12);
    row->setSpacing(kRowSpacing);
    row->addWidget(back_);
    row->addWidget(new FootBarTitleBlock(wallpaper.title, DetailItem::of(wallpaper), this), 1);
    if (wallpaper.key) {
        share_ = new FootBarIconButton(QStringLiteral("square.and.arrow.up"), FootBarIconButton::Look::footBarIcon(), this);
        connect(share_, &FootBarIconButton::clicked, this, &FullScreenFootBar::copyShareLink);
        row->addWidget(share_);
        row->addSpacing(kControlSpacing - kRowSpacing);
    }
    for (QWidget* control : std::initializer_list<QWidget*>{playlist_, like_, applyControl_}) {
        row->addWidget(control);
        if (control != applyControl_)
            row->addSpacing(kControlSpacing - kRowSpacing);
    }

    connect(back_, &FootBarIconButton::clicked, this, &FullScreenFootBar::backRequested);
    connect(playlist_, &FootBarIconButton::clicked, this, &FullScreenFootBar::togglePlaylistPopover);
    connect(applyControl_, &FootBarApplyControl::rightButtonTapped, this, &FullScreenFootBar::rightButtonTapped);
    connect(applyControl_, &FootBarApplyControl::applyToAllRequested, this, &FullScreenFootBar::applyToAllRequested);
    connect(applyControl_, &FootBarApplyControl::lockScreenOnlyRequested, this, &FullScreenFootBar::lockScreenOnlyRequested);
}

QString FullScreenFootBar::shareLink(const WallpaperModel& wallpaper)
{
    // A partner wallpaper's key lives in its own range; the link carries the partner's number.
    qint64 key = wallpaper.key.value_or(0);
    if (PartnerSiteKey::isPartnerKey(key))
        key = PartnerSiteKey::partnerId(key);
    QString link = kWebsite + QStringLiteral("/wallpaper?key=") + QString::number(key);
    if (wallpaper.isFromGravelnook)
        link += QStringLiteral("&via=grvn");
    return link;
}

void FullScreenFootBar::copyShareLink()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(shareLink(wallpaper_));
    placeCopiedNote();
    copiedNote_->show();
    copiedNote_->raise();
    // Each copy hides the note 1.2 s later; a second copy does not put the first hide off.
    runAfter(kCopiedNoteMs, copiedNote_, [note = copiedNote_] { note->hide(); });
}

void FullScreenFootBar::placeCopiedNote()
{
    if (!share_ || !copiedNote_->parentWidget())
        return;
    copiedNote_->adjustSize();
    const QPoint buttonCentre = share_->mapTo(copiedNote_->parentWidget(), share_->rect().center());
    copiedNote_->move(buttonCentre.x() - copiedNote_->width() / 2, buttonCentre.y() - kCopiedNoteOffset - copiedNote_->height() / 2);
}

PlaylistAddPopoverContent* FullScreenFootBar::playlistPopover() const
{
    return playlistHost_->isVisible() ? qobject_cast<PlaylistAddPopoverContent*>(playlistHost_->content()) : nullptr;
}

void FullScreenFootBar::togglePlaylistPopover()
{
    if (playlistHost_->isVisible()) {
        playlistHost_->close();
        return;
    }
    auto* content = new PlaylistAddPopoverContent(wallpaper_, services_.playlists.playlists());
    connect(content, &PlaylistAddPopoverContent::playlistSelected, this, &FullScreenFootBar::selectPlaylist);
    playlistHost_->setContent(content);
    playlistHost_->open(playlist_);
}

void FullScreenFootBar::selectPlaylist(const WallpaperPlaylist& playlist)
{
    if (const std::optional<qint64> key = wallpaper_.key) {
        if (playlist.wallpaperKeys.contains(*key)) {
            services_.playlists.removeWallpaper(*key, playlist.id);
        } else {
            // The playlist cards and the rotation look records up in the saved list.
            services_.liked.addWallpaper(wallpaper_, true);
            services_.recents.addWallpaper(wallpaper_);
            services_.playlists.addWallpapers({*key}, playlist.id);
        }
    }
    playlistHost_->close();
}

bool FullScreenFootBar::event(QEvent* event)
{
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        placeCopiedNote();
    return GlassBackground::event(event);
}
