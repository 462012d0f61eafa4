#include "screens/library/CreatePlaylistPickerThumbnail.h"

#include "screens/library/PlaylistArtwork.h"
#include "ui/CachedAsyncImage.h"
#include "ui/ElidedText.h"
#include "ui/GlassBackground.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/TitleBand.h"
#include "ui/VideoStill.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr qreal kTickSize = 20;
constexpr qreal kTickPadding = 6;
} // namespace

CreatePlaylistPickerThumbnail::CreatePlaylistPickerThumbnail(const WallpaperModel& wallpaper, bool selected,
    const std::optional<QString>& host, QWidget* parent)
    : QWidget(parent), wallpaper_(wallpaper), selected_(selected), still_(new VideoStill(this)), image_(new CachedAsyncImage(this))
{
    setCursor(Qt::PointingHandCursor);
    // Catalogue text, shown as every label shows it.
    setToolTip(ElidedText::bounded(wallpaper_.title));
    if (const auto video = PlaylistArtwork::ownVideoUrl(wallpaper_))
        still_->setUrl(*video);
    else
        image_->setUrl(PlaylistArtwork::pickerPosterUrl(wallpaper_, host).value_or(QUrl()));
}

void CreatePlaylistPickerThumbnail::setSelected(bool selected)
{
    if (selected == selected_)
        return;
    selected_ = selected;
    update();
}

QUrl CreatePlaylistPickerThumbnail::videoUrl() const { return still_->url(); }
QUrl CreatePlaylistPickerThumbnail::imageUrl() const { return image_->url(); }
bool CreatePlaylistPickerThumbnail::showsName() const { return !still_->url().isEmpty(); }
bool CreatePlaylistPickerThumbnail::hasPicture() const { return still_->hasImage() || image_->hasImage(); }

void CreatePlaylistPickerThumbnail::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
}

void CreatePlaylistPickerThumbnail::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && std::exchange(pressed_, false) && rect().contains(event->position().toPoint()))
        Q_EMIT tapped();
}

void CreatePlaylistPickerThumbnail::paintEvent(QPaintEvent*)
{
    // As wide as the cell, 1/1.6 as high, at the top.
    QRectF frame(QPointF(), QSizeF(width(), width() / kAspect));
    if (frame.height() > height())
        frame = QRectF(QPointF((width() - height() * kAspect) / 2, 0), QSizeF(height() * kAspect, height()));
    if (frame.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.save();
    painter.setOpacity(selected_ ? 1.0 : 0.5);
    const QPainterPath shape = GlassBackground::shape(frame, kCornerRadius);
    painter.setClipPath(shape);
    if (!still_->paint(painter, frame) && !image_->paint(painter, frame))
        painter.fillPath(shape, Theme::withOpacity(Theme::systemGray(), 0.3));
    // A frame of an own video does not say which video it is: its name does, never dimmed.
    painter.setOpacity(1);
    if (showsName())
        TitleBand::paint(painter, frame, wallpaper_.title, QString(), 1, TitleBand::kThumbnail);
    painter.restore();

    // The tick is never dimmed.
    const qreal side = Symbols::sizeForFont(kTickSize);
    const QRectF tick(frame.right() - kTickPadding - side, frame.top() + kTickPadding, side, side);
    if (selected_)
        Symbols::paint(painter, tick, QStringLiteral("checkmark.circle.fill"), Theme::systemBlue());
    else
        Symbols::paint(painter, tick, QStringLiteral("circle"), Theme::systemGray());
}
