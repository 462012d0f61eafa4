#include "screens/sheets/PromotionalSheetCard.h"

#include "ui/GlassBackground.h"
#include "ui/LoopingVideo.h"
#include "ui/SymbolButton.h"
#include "ui/Theme.h"
#include "ui/VideoPlayerPool.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {
constexpr int kTopRowPadding = 12;
constexpr int kCloseSide = 28;
} // namespace

PromotionalSheetCard::PromotionalSheetCard(const Options& options, QWidget* content, QWidget* topTrailing, QWidget* parent)
    : PromotionalSheetCard(options, content, topTrailing, VideoPlayerPool::shared(), parent)
{
}

PromotionalSheetCard::PromotionalSheetCard(const Options& options, QWidget* content, QWidget* topTrailing,
    VideoPlayerPool& players, QWidget* parent)
    : QWidget(parent), options_(options), topTrailing_(topTrailing)
{
    if (!options_.cardBackgroundColor.isValid())
        options_.cardBackgroundColor = Theme::appBackgroundColor();
    setFixedWidth(options_.width);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, bannerHeight(), 0, 0);
    column->setSpacing(0);
    if (content)
        column->addWidget(content);

    if (options_.videoURL) {
        video_ = new LoopingVideo(this, players);
        video_->setUrl(*options_.videoURL);
        video_->setFrameSize(bannerRect().size().toSize());
        video_->setPlaying(true);
        connect(video_, &LoopingVideo::readyChanged, this, qOverload<>(&QWidget::update));
    }
    if (options_.onClose) {
        close_ = new SymbolButton(
            SymbolButton::Look{QStringLiteral("xmark"), 12, Theme::withOpacity(Qt::white, 0.9), Theme::withOpacity(Qt::black, 0.4), kCloseSide}, this);
        connect(close_, &SymbolButton::clicked, this, [this] { options_.onClose(); });
    }
    if (topTrailing_)
        topTrailing_->setParent(this);
    placeTopRow();
}

int PromotionalSheetCard::bannerHeight() const
{
    const qreal mediaWidth = options_.width - 2.0 * options_.welcomeBannerPadding;
    return qRound(mediaWidth / kBannerAspect) + 2 * options_.welcomeBannerPadding;
}

QRectF PromotionalSheetCard::bannerRect() const
{
    const qreal padding = options_.welcomeBannerPadding;
    const qreal mediaWidth = options_.width - 2 * padding;
    return QRectF(padding, padding, mediaWidth, mediaWidth / kBannerAspect);
}

QSize PromotionalSheetCard::sizeHint() const
{
    // The card's width is fixed; wrapped text below the banner decides its height.
    return {options_.width, hasHeightForWidth() ? heightForWidth(options_.width) : QWidget::sizeHint().height()};
}

bool PromotionalSheetCard::isShowingVideo() const { return video_ && video_->isReady(); }

void PromotionalSheetCard::placeTopRow()
{
    if (close_) {
        close_->move(kTopRowPadding, kTopRowPadding);
        close_->raise();
    }
    if (topTrailing_) {
        topTrailing_->adjustSize();
        topTrailing_->move(width() - kTopRowPadding - topTrailing_->width(), kTopRowPadding);
        topTrailing_->raise();
    }
}

void PromotionalSheetCard::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeTopRow();
}

void PromotionalSheetCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool rounded = options_.cornerRadius > 0;
    const QPainterPath card = GlassBackground::shape(rect(), options_.cornerRadius);
    if (rounded)
        painter.setClipPath(card);
    painter.fillRect(rect(), options_.cardBackgroundColor);

    const QRectF banner = bannerRect();
    const QPainterPath media = GlassBackground::shape(banner, kBannerCorner);
    painter.save();
    painter.setClipPath(media, rounded ? Qt::IntersectClip : Qt::ReplaceClip);
    if (!video_ || !video_->paint(painter, banner))
        painter.fillRect(banner, Theme::withOpacity(Theme::systemGray(), 0.3));
    painter.restore();

    if (rounded) {
        painter.setClipping(false);
        painter.setPen(QPen(Theme::withOpacity(Theme::systemGray(), 0.5), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(GlassBackground::shape(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), options_.cornerRadius));
    }
}
