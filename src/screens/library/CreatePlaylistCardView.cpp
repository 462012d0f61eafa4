#include "screens/library/CreatePlaylistCardView.h"

#include "engine/WallpaperImageCache.h"
#include "library/CreatePlaylistPopupService.h"
#include "screens/library/PlaylistCardFrame.h"
#include "ui/CachedAsyncImage.h"
#include "ui/GlassBackground.h"
#include "ui/LoopingVideo.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/VideoPlayerPool.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
const char* const kTitle = QT_TRANSLATE_NOOP("CreatePlaylistCardView", "Create Playlist");
constexpr qreal kFontSize = 14;
constexpr qreal kButtonPaddingX = 14;
constexpr qreal kButtonPaddingY = 8;
constexpr qreal kButtonSpacing = 8;
const auto kFadeCurve = AnimatedValue::Curve::easeInOut(CreatePlaylistCardCycle::kCrossfadeMs);
const auto kButtonHoverCurve = AnimatedValue::Curve::easeInOut(150);
// Qt's raster engine hands every fill taller than about a hundred rows to its thread pool. For a
// card this small, waking those threads for each of thirty frames a second costs more than the
// fills themselves, so the card is painted in bands below that height.
constexpr int kBandRows = 64;
} // namespace

CreatePlaylistCardView::CreatePlaylistCardView(QWidget* parent)
    : CreatePlaylistCardView(CreatePlaylistPopupService::shared(), VideoPlayerPool::shared(), WallpaperImageCache::shared(),
          std::make_unique<CreatePlaylistCardCycle>(), parent)
{
}

CreatePlaylistCardView::CreatePlaylistCardView(CreatePlaylistPopupService& popup, VideoPlayerPool& players,
    WallpaperImageCache& images, std::unique_ptr<CreatePlaylistCardCycle> cycle, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeOut(PlaylistCardFrame::kHoverMs), parent), popup_(popup),
      cycle_(std::move(cycle)), videos_{new LoopingVideo(this, players), new LoopingVideo(this, players)},
      posters_{new CachedAsyncImage(this, images, {}), new CachedAsyncImage(this, images, {})}
{
    setMouseTracking(true);
    for (int layer = 0; layer < 2; ++layer) {
        connect(videos_.at(layer), &LoopingVideo::readyChanged, this, [this, layer](bool ready) {
            cycle_->setLayerReady(layer, ready);
            update();
        });
        connect(&opacity_.at(layer), &AnimatedValue::valueChanged, this, [this, layer] { followOpacity(layer); });
    }
    connect(&buttonHover_, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
    connect(cycle_.get(), &CreatePlaylistCardCycle::layersChanged, this, &CreatePlaylistCardView::followLayers);
    connect(cycle_.get(), &CreatePlaylistCardCycle::crossfadeStarted, this, &CreatePlaylistCardView::followCrossfade);
    connect(this, &PressableWidget::clicked, this, [this] { popup_.show(); });
    followLayers();
}

CreatePlaylistCardView::~CreatePlaylistCardView() = default;

void CreatePlaylistCardView::setMedia(const QList<QUrl>& videoUrls, const QList<QUrl>& posterUrls)
{
    cycle_->setMedia(videoUrls, posterUrls);
    if (isVisible())
        cycle_->start();
}

// Both layers play while the card is on screen, the hidden one already on the next wallpaper.
void CreatePlaylistCardView::appeared()
{
    setPlaying(true);
    cycle_->start();
}

void CreatePlaylistCardView::disappeared()
{
    cycle_->stop();
    setPlaying(false);
}

void CreatePlaylistCardView::setPlaying(bool playing)
{
    for (LoopingVideo* video : videos_)
        video->setPlaying(playing);
}

void CreatePlaylistCardView::followLayers()
{
    for (int layer = 0; layer < 2; ++layer) {
        videos_.at(layer)->setUrl(cycle_->videoOfLayer(layer));
        posters_.at(layer)->setUrl(cycle_->posterOfLayer(layer));
        opacity_.at(layer).setValue(cycle_->targetOpacity(layer));
        followOpacity(layer);
        // A player that kept its address is still ready.
        cycle_->setLayerReady(layer, videos_.at(layer)->isReady());
    }
    update();
}

void CreatePlaylistCardView::followOpacity(int layer)
{
    // A layer faded out plays on unseen: its frames are neither drawn nor repaint the card.
    videos_.at(layer)->setShown(opacity_.at(layer).value() > 0);
    update();
}

void CreatePlaylistCardView::followCrossfade()
{
    for (int layer = 0; layer < 2; ++layer)
        opacity_.at(layer).animateTo(cycle_->targetOpacity(layer), kFadeCurve);
}

// -- pointer -------------------------------------------------------------------------------------

bool CreatePlaylistCardView::hitTest(const QPointF& point) const
{
    return GlassBackground::shape(PlaylistCardFrame::cardRect(rect()), PlaylistCardFrame::kCornerRadius).contains(point);
}

void CreatePlaylistCardView::mouseMoveEvent(QMouseEvent* event)
{
    PressableWidget::mouseMoveEvent(event);
    setButtonHovered(buttonRect().contains(event->position()));
}

void CreatePlaylistCardView::leaveEvent(QEvent* event)
{
    PressableWidget::leaveEvent(event);
    setButtonHovered(false);
}

void CreatePlaylistCardView::setButtonHovered(bool hovered)
{
    if (hovered == buttonHovered_)
        return;
    buttonHovered_ = hovered;
    buttonHover_.animateTo(hovered ? 1 : 0, kButtonHoverCurve);
}

void CreatePlaylistCardView::resizeEvent(QResizeEvent* event)
{
    PressableWidget::resizeEvent(event);
    const QRectF card = PlaylistCardFrame::cardRect(rect());
    clip_ = PlaylistCardFrame::clip(card);
    const QSize frame = card.size().toSize();
    for (LoopingVideo* video : videos_)
        video->setFrameSize(frame);
}

// -- painting ------------------------------------------------------------------------------------

QRectF CreatePlaylistCardView::buttonRect() const
{
    // Measuring the title shapes its text: once per size, not for every frame of video.
    if (buttonRectSize_ != size()) {
        buttonRectSize_ = size();
        const QFontMetricsF metrics(Theme::systemFont(kFontSize));
        const qreal symbol = Symbols::sizeForFont(kFontSize);
        const QSizeF button(2 * kButtonPaddingX + symbol + kButtonSpacing + metrics.horizontalAdvance(tr(kTitle)),
            2 * kButtonPaddingY + std::max(symbol, metrics.height()));
        const QPointF centre = PlaylistCardFrame::cardRect(rect()).center();
        buttonRect_ = QRectF(centre - QPointF(button.width() / 2, button.height() / 2), button);
    }
    return buttonRect_;
}

void CreatePlaylistCardView::paintEvent(QPaintEvent* event)
{
    const QRectF card = PlaylistCardFrame::cardRect(rect());
    if (card.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect dirty = event->rect();
    for (int top = dirty.top(); top <= dirty.bottom(); top += kBandRows) {
        painter.setClipRect(QRect(dirty.left(), top, dirty.width(), std::min(kBandRows, dirty.bottom() + 1 - top)));
        paintCard(painter, card);
    }
}

void CreatePlaylistCardView::paintCard(QPainter& painter, const QRectF& card) const
{
    PlaylistCardFrame::paintClipped(painter, clip_, [&] {
        if (cycle_->videoOfLayer(0).isEmpty()) {
            // No video: the current poster, else the gradient.
            if (!posters_.at(0)->paint(painter, card))
                PlaylistCardFrame::paintPlaceholder(painter, card);
        } else {
            const int front = cycle_->visibleLayer();
            // A front video that covers the card leaves nothing beneath to show.
            if (!videos_.at(front)->isReady() || opacity_.at(front).value() < 1)
                PlaylistCardFrame::paintPlaceholder(painter, card);
            for (int layer = 0; layer < 2; ++layer)
                paintLayer(painter, card, layer);
        }
        painter.fillRect(card, Theme::withOpacity(Qt::black, 0.3));
    });
    // Only the border and the button are drawn from the overlay: the rest of it is clear.
    const QPixmap& picture = overlay();
    const qreal ratio = picture.devicePixelRatio();
    const QRectF button = buttonRect().adjusted(-8, -8, 8, 8); // room for the hover scale
    const qreal edge = 4;
    const qreal corner = PlaylistCardFrame::kCornerRadius;
    const QList<QRectF> parts{button, QRectF(card.left(), card.top(), card.width(), edge),
        QRectF(card.left(), card.bottom() - edge, card.width(), edge), QRectF(card.left(), card.top(), edge, card.height()),
        QRectF(card.right() - edge, card.top(), edge, card.height()), QRectF(card.topLeft(), QSizeF(corner, corner)),
        QRectF(card.right() - corner, card.top(), corner, corner), QRectF(card.left(), card.bottom() - corner, corner, corner),
        QRectF(card.bottomRight() - QPointF(corner, corner), QSizeF(corner, corner))};
    for (const QRectF& part : parts)
        painter.drawPixmap(part, picture, QRectF(part.topLeft() * ratio, part.size() * ratio));
}

const QPixmap& CreatePlaylistCardView::overlay() const
{
    const qreal ratio = devicePixelRatioF();
    const std::array<qreal, 2> hover{hoverAmount(), buttonHover_.value()};
    if (hover != overlayHover_ || overlay_.size() != size() * ratio) {
        overlayHover_ = hover;
        overlay_ = QPixmap(size() * ratio);
        overlay_.setDevicePixelRatio(ratio);
        overlay_.fill(Qt::transparent);
        QPainter painter(&overlay_);
        painter.setRenderHint(QPainter::Antialiasing);
        paintOverlay(painter, PlaylistCardFrame::cardRect(rect()));
    }
    return overlay_;
}

void CreatePlaylistCardView::paintOverlay(QPainter& painter, const QRectF& card) const
{
    paintButton(painter, card);
    // The dashed border lies inside the card's edge.
    QPen dashes(Theme::withOpacity(Qt::white, 0.35 + 0.15 * hoverAmount()), 2, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    dashes.setDashPattern({8.0 / 2, 6.0 / 2}); // in units of the pen's width
    painter.setPen(dashes);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(GlassBackground::shape(card.adjusted(1, 1, -1, -1), PlaylistCardFrame::kCornerRadius - 1));
}

void CreatePlaylistCardView::paintLayer(QPainter& painter, const QRectF& card, int layer) const
{
    const qreal opacity = opacity_.at(layer).value();
    if (opacity <= 0)
        return;
    painter.setOpacity(opacity);
    // Poster until the video can play; the switch is not animated.
    if (!videos_.at(layer)->paint(painter, card))
        posters_.at(layer)->paint(painter, card);
    painter.setOpacity(1);
}

void CreatePlaylistCardView::paintButton(QPainter& painter, const QRectF& card) const
{
    painter.save();
    PlaylistCardFrame::scaleAboutCentre(painter, card, 1.0 + (PlaylistCardFrame::kHoverScale - 1.0) * hoverAmount());
    const QRectF button = buttonRect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::withOpacity(Qt::white, 1.0 - 0.15 * buttonHover_.value()));
    painter.drawRoundedRect(button, button.height() / 2, button.height() / 2);
    const qreal symbol = Symbols::sizeForFont(kFontSize);
    const QRectF content = button.adjusted(kButtonPaddingX, kButtonPaddingY, -kButtonPaddingX, -kButtonPaddingY);
    Symbols::paint(painter, QRectF(content.left(), content.center().y() - symbol / 2, symbol, symbol), QStringLiteral("plus"), Qt::black);
    painter.setFont(Theme::systemFont(kFontSize));
    painter.setPen(Qt::black);
    painter.drawText(content.adjusted(symbol + kButtonSpacing, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, tr(kTitle));
    painter.restore();
}
