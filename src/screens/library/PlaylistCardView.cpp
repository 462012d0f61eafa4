#include "screens/library/PlaylistCardView.h"

#include "library/PlaylistPlaybackService.h"
#include "library/WallpaperPlaylistService.h"
#include "screens/library/PlaylistArtwork.h"
#include "screens/library/PlaylistCardFrame.h"
#include "screens/library/PlaylistCardPopoverView.h"
#include "ui/BottomShade.h"
#include "ui/CachedAsyncImage.h"
#include "ui/ConfirmationAlert.h"
#include "ui/GlassBackground.h"
#include "ui/PopoverHost.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/VideoStill.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextOption>

PlaylistCardView::PlaylistCardView(const WallpaperPlaylist& playlist, const std::optional<QUrl>& thumbnailUrl,
    const std::optional<WallpaperModel>& firstWallpaper, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeOut(PlaylistCardFrame::kHoverMs), parent),
      rotation_(PlaylistPlaybackService::shared()), playlists_(WallpaperPlaylistService::shared()),
      still_(new VideoStill(this)), thumbnail_(new CachedAsyncImage(this)), popover_(new PopoverHost(this))
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setMouseTracking(true);
    connect(&rotation_, &PlaylistPlaybackService::activePlaylistIdChanged, this, qOverload<>(&QWidget::update));
    connect(this, &PressableWidget::clicked, this, &PlaylistCardView::handleClick);
    setPlaylist(playlist, thumbnailUrl, firstWallpaper);
}

PlaylistCardView::~PlaylistCardView() = default;

void PlaylistCardView::setPlaylist(const WallpaperPlaylist& playlist, const std::optional<QUrl>& thumbnailUrl,
    const std::optional<WallpaperModel>& firstWallpaper)
{
    playlist_ = playlist;
    thumbnailUrl_ = thumbnailUrl;
    firstWallpaper_ = firstWallpaper;
    still_->setUrl(PlaylistArtwork::cardPreviewVideoUrl(firstWallpaper_).value_or(QUrl()));
    thumbnail_->setUrl(preview() == Preview::Image ? thumbnailUrl_.value_or(QUrl()) : QUrl());
    setToolTip(playlist_.name);
    update();
}

PlaylistCardView::Preview PlaylistCardView::preview() const
{
    if (!still_->url().isEmpty())
        return Preview::Video;
    return thumbnailUrl_ ? Preview::Image : Preview::Placeholder;
}

QUrl PlaylistCardView::previewUrl() const
{
    switch (preview()) {
    case Preview::Video: return still_->url();
    case Preview::Image: return *thumbnailUrl_;
    case Preview::Placeholder: break;
    }
    return {};
}

bool PlaylistCardView::hasPreviewPicture() const
{
    return preview() == Preview::Video ? still_->hasImage() : thumbnail_->hasImage();
}

bool PlaylistCardView::isActive() const { return rotation_.isPlaylistActive(playlist_.id); }
bool PlaylistCardView::isControlShown() const { return isHovered() || isActive(); }

QString PlaylistCardView::controlSymbol() const
{
    return isActive() ? QStringLiteral("pause.circle.fill") : QStringLiteral("play.circle.fill");
}

QRectF PlaylistCardView::controlRect() const
{
    const qreal side = Symbols::sizeForFont(kControlSize);
    const QPointF centre = PlaylistCardFrame::cardRect(rect()).center();
    return QRectF(centre - QPointF(side / 2, side / 2), QSizeF(side, side));
}

PlaylistCardPopoverView* PlaylistCardView::popoverView() const
{
    return qobject_cast<PlaylistCardPopoverView*>(popover_->content());
}

void PlaylistCardView::toggleRotation()
{
    if (isActive())
        rotation_.stopPlaylistIfActive(playlist_.id);
    else
        rotation_.startPlaylist(playlist_);
}

void PlaylistCardView::openPopover()
{
    // A fresh panel each time, starting from the stored name and interval.
    auto* view = new PlaylistCardPopoverView(playlist_, playlists_);
    connect(view, &PlaylistCardPopoverView::addWallpapersRequested, this,
        [this] { popover_->closeThen([this] { Q_EMIT addWallpapersRequested(playlist_); }); });
    connect(view, &PlaylistCardPopoverView::deleteRequested, this, [this] { popover_->closeThen([this] { confirmDelete(); }); });
    popover_->setContent(view);
    popover_->open(this);
}

void PlaylistCardView::confirmDelete()
{
    const QUuid id = playlist_.id;
    ConfirmationAlert::ask(this, tr("Delete Playlist"),
        tr("Are you sure you want to delete \"%1\"? This cannot be undone.").arg(playlist_.name), tr("Delete"), [this, id] {
            // The rotation ends first, so it never applies a wallpaper of a playlist that is gone.
            rotation_.stopPlaylistIfActive(id);
            playlists_.deletePlaylist(id);
        });
}

void PlaylistCardView::mouseReleaseEvent(QMouseEvent* event)
{
    releasedAt_ = event->position();
    PressableWidget::mouseReleaseEvent(event);
}

void PlaylistCardView::handleClick()
{
    if (isControlShown() && controlRect().contains(releasedAt_))
        toggleRotation();
    else
        openPopover();
}

bool PlaylistCardView::hitTest(const QPointF& point) const
{
    return GlassBackground::shape(PlaylistCardFrame::cardRect(rect()), PlaylistCardFrame::kCornerRadius).contains(point);
}

int PlaylistCardView::heightForWidth(int width) const
{
    return int(std::lround((width - 2 * PlaylistCardFrame::kPadding) * 9.0 / 16.0 + 2 * PlaylistCardFrame::kPadding));
}

QSize PlaylistCardView::sizeHint() const { return {360, heightForWidth(360)}; }

void PlaylistCardView::resizeEvent(QResizeEvent* event)
{
    PressableWidget::resizeEvent(event);
    update();
}

// -- painting ------------------------------------------------------------------------------------

void PlaylistCardView::paintEvent(QPaintEvent*)
{
    const QRectF card = PlaylistCardFrame::cardRect(rect());
    if (card.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const qreal hover = hoverAmount();
    painter.save();
    PlaylistCardFrame::scaleAboutCentre(painter, card, 1.0 + (PlaylistCardFrame::kHoverScale - 1.0) * hover);
    const QPainterPath shape = GlassBackground::shape(card, PlaylistCardFrame::kCornerRadius);
    painter.setClipPath(shape);

    const bool painted = preview() == Preview::Video ? still_->paint(painter, card)
        : preview() == Preview::Image                ? thumbnail_->paint(painter, card)
                                                     : false;
    if (!painted)
        PlaylistCardFrame::paintPlaceholder(painter, card);

    // The lower part darkens so the name reads on any picture.
    BottomShade::paint(painter, card);

    paintName(painter, card);

    painter.setPen(QPen(Theme::withOpacity(Qt::white, 0.08 + 0.07 * hover), 1.0 + 0.5 * hover));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
    painter.restore();

    // The control keeps its size: it is not part of the scaled face.
    if (isControlShown()) {
        const QRectF control = controlRect();
        painter.setOpacity(0.5);
        Symbols::paint(painter, control.translated(0, 1).adjusted(-1, -1, 1, 1), controlSymbol(), Qt::black);
        painter.setOpacity(1);
        Symbols::paint(painter, control, controlSymbol(), Qt::white);
    }
}

void PlaylistCardView::paintName(QPainter& painter, const QRectF& card) const
{
    // Long names wrap (inside words when they must) and grow upwards; the card's clip cuts them.
    const QRectF box = card.adjusted(18, 0, -18, -16);
    QTextOption option(Qt::AlignLeft | Qt::AlignBottom);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    painter.setFont(Theme::systemFont(kNameSize, QFont::DemiBold));
    painter.setPen(Qt::white);
    painter.drawText(box, playlist_.name, option);
}
