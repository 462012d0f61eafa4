#include "ui/PosterCardView.h"

#include "engine/VideoCacheService.h"
#include "engine/WallpaperDownloadService.h"
#include "engine/WallpaperImageCache.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "library/LikedWallpapersService.h"
#include "state/AppStore.h"
#include "ui/BrowseContext.h"
#include "ui/CachedAsyncImage.h"
#include "ui/GlassBackground.h"
#include "ui/LikeButton.h"
#include "ui/LoopingVideo.h"
#include "ui/PlaceholderPosterCard.h"
#include "ui/PosterCardRules.h"
#include "ui/TapHandler.h"
#include "ui/TitleBand.h"
#include "ui/Theme.h"
#include "ui/VideoPlayerPool.h"
#include "ui/VideoStill.h"

#include <QGraphicsOpacityEffect>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr qreal kRadius = PlaceholderPosterCard::kCornerRadius;
constexpr qreal kPadding = 2;
constexpr qreal kHoverScale = 1.02;
constexpr qreal kHeartPadding = 6;
constexpr qreal kHeartSlide = -60;
const auto kHoverCurve = AnimatedValue::Curve::easeOut(200);
const auto kVideoFadeCurve = AnimatedValue::Curve::easeInOut(250);
// The partner's badge wears the system yellow, the colour of a pending upload.
const QColor kSystemYellow = PosterCardRules::statusColor(PosterCardRules::StatusGroup::Pending);

// Copies the remote preview into the cache for the next time. Holds nothing of the card, which
// may be gone before the copy ends.
QCoro::Task<> cachePreview(VideoCacheService& cache, QUrl url, qint64 key)
{
    try {
        co_await cache.cachePreviewVideo(url, key);
    } catch (const std::exception& error) {
        logLine(QStringLiteral("⚠️"), QStringLiteral("PosterCardComponent"),
            QStringLiteral("Failed to cache preview video: ") + describeError(error));
    }
}

// A capsule badge with its text, placed by its top-left corner.
void paintBadge(QPainter& painter, QPointF topLeft, const QString& text, const QFont& font, const QColor& textColour,
    const QColor& fill)
{
    const QFontMetricsF metrics(font);
    const QRectF capsule(topLeft, QSizeF(metrics.horizontalAdvance(text) + 16, metrics.height() + 8));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    painter.setFont(font);
    painter.setPen(textColour);
    painter.drawText(capsule, Qt::AlignCenter, text);
}

qreal badgeWidth(const QString& text, const QFont& font) { return QFontMetricsF(font).horizontalAdvance(text) + 16; }

// Read once per record, not per paint: parsing the date and the local time zone behind it cost
// more than the card's blit.
std::optional<PosterCardRules::NewSpan> newSpanOf(const WallpaperModel& wallpaper)
{
    return PosterCardRules::newSpan(PosterCardRules::parseCreatedAt(wallpaper.createdAt));
}

} // namespace

PosterCardView::Services PosterCardView::Services::shared()
{
    return {LikedWallpapersService::shared(), VideoCacheService::shared(), WallpaperDownloadService::shared(),
        &AppStore::shared(), VideoPlayerPool::shared(), WallpaperImageCache::shared(), Clock::system()};
}

PosterCardView::PosterCardView(const WallpaperModel& wallpaper, const Options& options, BrowseContext* context,
    QWidget* parent)
    : PosterCardView(wallpaper, options, context, Services::shared(), parent)
{
}

PosterCardView::PosterCardView(const WallpaperModel& wallpaper, const Options& options, BrowseContext* context,
    const Services& services, QWidget* parent)
    : PressableWidget(kHoverCurve, parent), wallpaper_(wallpaper), options_(options), context_(context),
      services_(services), newSpan_(newSpanOf(wallpaper)), badgeEnd_(new QTimer(this)),
      video_(new LoopingVideo(this, services.players)),
      heart_(new LikeButton(wallpaper, LikeButton::Look::posterCard(), services.liked, this)),
      heartOpacity_(new QGraphicsOpacityEffect(heart_)),
      tap_(new TapHandler(this, [this] {
          if (context_)
              context_->openWallpaper(wallpaper_);
      })),
      shimmer_(PlaceholderPosterCard::kShimmerStart)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    tap_->setSuppressed(options_.suppressCardTap);
    heart_->setGraphicsEffect(heartOpacity_);
    heart_->hide();
    rememberLikedState();
    badgeEnd_->setSingleShot(true);
    connect(badgeEnd_, &QTimer::timeout, this, &PosterCardView::watchBadgeEnd);
    watchBadgeEnd();

    if (!PosterCardRules::isLocalVideo(wallpaper_)) {
        poster_ = new CachedAsyncImage(this, services_.images, {});
        poster_->setUrl(wallpaper_.posterUrl.value_or(wallpaper_.imageUrl.value_or(QUrl())));
        connect(poster_, &CachedAsyncImage::imageChanged, this, &PosterCardView::updateShimmer);
    } else {
        // A still read off the GUI thread, not a paused player: a page of own videos would
        // otherwise hold more players than the pool keeps, and the cards it took them from
        // would go blank.
        still_ = new VideoStill(this);
        still_->setUrl(*wallpaper_.imageUrl);
    }

    connect(this, &PressableWidget::hoverAmountChanged, this, &PosterCardView::placeHeart);
    connect(&shimmer_, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&videoOpacity_, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
    connect(video_, &LoopingVideo::readyChanged, this, &PosterCardView::followVideoReady);
    // The count follows the heart wherever the wallpaper is liked or unliked.
    connect(&services_.liked, &LikedWallpapersService::likedWallpapersChanged, this, qOverload<>(&QWidget::update));
    // A card made while the stored list was read learns the record's liked state when the list
    // arrives, before the taps made meanwhile are: a tap says what the user wants, not what the
    // list held.
    connect(&services_.liked, &LikedWallpapersService::isLoadingChanged, this, [this] {
        if (!likedAtCounts_)
            rememberLikedState();
    });
    if (context_)
        connect(context_, &BrowseContext::cardsShouldPauseChanged, this, &PosterCardView::followPause);
    if (services_.appStore)
        connect(services_.appStore, &AppStore::baseUrlChanged, this, &PosterCardView::followHost);
}

PosterCardView::~PosterCardView() = default;

void PosterCardView::setWallpaper(const WallpaperModel& wallpaper)
{
    const bool countsChanged = wallpaper.key != wallpaper_.key || wallpaper.likes != wallpaper_.likes
        || wallpaper.downloads != wallpaper_.downloads;
    const bool createdChanged = wallpaper.createdAt != wallpaper_.createdAt;
    wallpaper_ = wallpaper;
    if (createdChanged) {
        newSpan_ = newSpanOf(wallpaper_);
        watchBadgeEnd();
    }
    if (countsChanged)
        rememberLikedState();
    heart_->setWallpaper(wallpaper_);
    if (poster_)
        poster_->setUrl(wallpaper_.posterUrl.value_or(wallpaper_.imageUrl.value_or(QUrl())));
    ++recordGeneration_;
    update();
}

void PosterCardView::refresh(QWidget* cell, const WallpaperModel& wallpaper)
{
    if (auto* card = qobject_cast<PosterCardView*>(cell))
        card->setWallpaper(wallpaper);
}

void PosterCardView::rememberLikedState()
{
    // The list itself, not the heart, which also shows the changes still waiting for it.
    if (services_.liked.isLoading() || !wallpaper_.key)
        likedAtCounts_ = std::nullopt;
    else
        likedAtCounts_ = services_.liked.likedWallpapers().contains(*wallpaper_.key);
}

int PosterCardView::optimisticLikeDelta() const
{
    if (!wallpaper_.key || !likedAtCounts_)
        return 0;
    return int(heart_->isLiked()) - int(*likedAtCounts_);
}

std::optional<QString> PosterCardView::likeCountText() const
{
    return PosterCardRules::likeCountText(wallpaper_.likes, optimisticLikeDelta(), wallpaper_.downloads);
}

void PosterCardView::watchBadgeEnd()
{
    update();
    if (!isNew()) {
        badgeEnd_->stop();
        return;
    }
    // Checked again at the end: the clock may run behind the timer.
    const qint64 left = services_.clock.now().msecsTo(newSpan_->before);
    badgeEnd_->start(int(std::clamp<qint64>(left + 1, 1, std::numeric_limits<int>::max())));
}

bool PosterCardView::isNew() const { return newSpan_ && newSpan_->contains(services_.clock.now()); }

bool PosterCardView::hasPoster() const { return poster_ && poster_->hasImage(); }
bool PosterCardView::isPreviewPlaying() const { return playing_ && video_->isRunning(); }
bool PosterCardView::isPreviewShown() const { return video_->isReady(); }
bool PosterCardView::isStillShown() const { return still_ && still_->hasImage(); }
QUrl PosterCardView::previewSource() const { return video_->url(); }

std::optional<QString> PosterCardView::host() const
{
    return services_.appStore ? services_.appStore->baseUrl() : std::nullopt;
}

// -- preview -------------------------------------------------------------------------------------

void PosterCardView::startPreviewPlayback()
{
    const PosterCardRules::DiskLookups disk{
        [this](qint64 key) { return services_.videoCache.cachedHDPreviewUrl(key); },
        [this](const QUrl& url, qint64 key) { return services_.videoCache.cachedPreviewVideoUrl(url, key); },
        [this](qint64 key) { return services_.downloads.cachedFileUrl(key).has_value(); },
    };
    const auto plan = PosterCardRules::planPreview(wallpaper_, options_.usePreviewHdForCard, host(), disk);
    if (!plan.play)
        return;
    // Asked again without a picture: the last try failed or was dropped, so it starts over.
    if (*plan.play == video_->url() && !video_->isReady())
        video_->setUrl({});
    cachedSource_ = plan.fromCache;
    video_->setUrl(*plan.play);
    setPlaying(true);
    if (plan.cacheRemote)
        fireAndForget(cachePreview(services_.videoCache, *plan.play, *wallpaper_.key), QStringLiteral("PosterCardComponent"));
}

void PosterCardView::setPlaying(bool playing)
{
    playing_ = playing;
    video_->setPlaying(playing);
}

void PosterCardView::dropPreview()
{
    setPlaying(false);
    cachedSource_ = false;
    video_->setUrl({});
}

void PosterCardView::followVideoReady(bool ready)
{
    if (!ready) {
        videoOpacity_.setValue(0);
        return;
    }
    videoOpacity_.animateTo(1, kVideoFadeCurve);
    if (options_.autoplayPreviewWhenVisible) {
        setPlaying(true);
    }
}

void PosterCardView::followPause(bool pause)
{
    if (pause) {
        setPlaying(false);
        if (options_.autoplayPreviewWhenVisible)
            dropPreview();
    } else if (options_.autoplayPreviewWhenVisible) {
        startPreviewPlayback();
    }
}

void PosterCardView::followHost()
{
    if (options_.usePreviewHdForCard && options_.autoplayPreviewWhenVisible && !wallpaper_.previewhdUrl
        && PosterCardRules::previewHdUrl(wallpaper_, host()))
        startPreviewPlayback();
}

void PosterCardView::appeared()
{
    const bool localVideo = PosterCardRules::isLocalVideo(wallpaper_);
    if (options_.autoplayPreviewWhenVisible
        && (localVideo || PosterCardRules::cardPreviewUrl(wallpaper_, options_.usePreviewHdForCard, host()))) {
        startPreviewPlayback();
    }
}

void PosterCardView::disappeared()
{
    // Off screen the kept picture is only memory.
    cache_ = PaintCache();
    if (!options_.autoplayPreviewWhenVisible)
        return;
    if (PosterCardRules::isLocalVideo(wallpaper_))
        setPlaying(false);
    else
        dropPreview();
}

void PosterCardView::enterEvent(QEnterEvent* event)
{
    const bool wasHovered = isHovered();
    PressableWidget::enterEvent(event);
    if (wasHovered)
        return;
    if (!video_->isReady() || video_->url().isEmpty())
        startPreviewPlayback();
    else
        setPlaying(true);
}

void PosterCardView::leaveEvent(QEvent* event)
{
    PressableWidget::leaveEvent(event);
    if (!options_.autoplayPreviewWhenVisible)
        setPlaying(false);
}

// -- layout --------------------------------------------------------------------------------------

int PosterCardView::heightForWidth(int width) const
{
    return int(std::lround((width - 2 * kPadding) * 9.0 / 16.0 + 2 * kPadding));
}

QSize PosterCardView::sizeHint() const { return {320, heightForWidth(320)}; }

QRectF PosterCardView::cardRect() const
{
    const QRectF room = QRectF(rect()).adjusted(kPadding, kPadding, -kPadding, -kPadding);
    QSizeF size(room.width(), room.width() * 9.0 / 16.0);
    if (size.height() > room.height())
        size = QSizeF(room.height() * 16.0 / 9.0, room.height());
    return QRectF(room.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

qreal PosterCardView::scale() const { return 1.0 + (kHoverScale - 1.0) * hoverAmount(); }

QRectF PosterCardView::scaledCardRect() const
{
    const QRectF card = cardRect();
    const QSizeF size = card.size() * scale();
    return QRectF(card.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

void PosterCardView::placeHeart()
{
    const qreal hover = hoverAmount();
    heart_->setVisible(hover > 0);
    heartOpacity_->setOpacity(hover);
    // The effect draws off screen; only a fading heart needs it.
    heartOpacity_->setEnabled(hover < 1);
    // The heart sits in the scaled card's top-right corner, sliding down from above it.
    const QPointF corner = scaledCardRect().topRight();
    heart_->move(QPointF(corner.x() - kHeartPadding - heart_->width(), corner.y() + kHeartPadding + kHeartSlide * (1 - hover))
                     .toPoint());
    update();
}

void PosterCardView::resizeEvent(QResizeEvent* event)
{
    PressableWidget::resizeEvent(event);
    video_->setFrameSize(cardRect().size().toSize());
    placeHeart();
}

void PosterCardView::showEvent(QShowEvent* event)
{
    PressableWidget::showEvent(event);
    updateShimmer();
}

void PosterCardView::hideEvent(QHideEvent* event)
{
    PressableWidget::hideEvent(event);
    cache_ = PaintCache();
    shimmer_.setValue(PlaceholderPosterCard::kShimmerStart);
    placeHeart();
}

void PosterCardView::updateShimmer()
{
    const bool loading = poster_ && !poster_->hasImage() && isVisible();
    if (!loading) {
        shimmer_.setValue(PlaceholderPosterCard::kShimmerStart);
    } else if (shimmer_.state() != QAbstractAnimation::Running) {
        shimmer_.setValue(PlaceholderPosterCard::kShimmerStart);
        shimmer_.animateTo(PlaceholderPosterCard::kShimmerEnd,
            AnimatedValue::Curve::linear(PlaceholderPosterCard::kShimmerCycleMs).repeatingForever(false));
    }
}

// -- painting ------------------------------------------------------------------------------------

void PosterCardView::paintEvent(QPaintEvent*)
{
    if (cardRect().isEmpty())
        return;
    QPainter painter(this);
    // A preview on the card changes with every frame: nothing worth keeping.
    if (video_->isReady()) {
        paintCard(painter);
        return;
    }
    // Everything the card shows without a preview, so a video beneath (the home hero) repaints
    // it with one blit.
    const QImage picture = poster_ ? poster_->image() : still_ ? still_->image() : QImage();
    const qreal poster = qreal(picture.cacheKey());
    cache_.paint(painter, *this,
        {hoverAmount(), shimmer_.value(), poster, isNew() ? 1.0 : 0.0, qreal(optimisticLikeDelta()), qreal(recordGeneration_)},
        [this](QPainter& cached) { paintCard(cached); }, scaledCardRect());
}

void PosterCardView::paintCard(QPainter& painter) const
{
    const QRectF card = cardRect();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const qreal factor = scale();
    if (factor != 1.0) {
        painter.translate(card.center());
        painter.scale(factor, factor);
        painter.translate(-card.center());
    }
    const QPainterPath shape = GlassBackground::shape(card, kRadius);
    painter.setClipPath(shape);

    const bool localVideo = !poster_;
    const qreal videoOpacity = video_->isReady() ? (localVideo ? 1.0 : videoOpacity_.value()) : 0.0;
    // Under a video that covers it the poster is not drawn: every frame repaints the card.
    if (videoOpacity < 1) {
        if (poster_ && !poster_->paint(painter, card))
            PlaceholderPosterCard::paint(painter, card, options_.lightPlaceholderWhileLoading, shimmer_.value());
        else if (localVideo && !still_->paint(painter, card))
            PlaceholderPosterCard::paint(painter, card, options_.lightPlaceholderWhileLoading, PlaceholderPosterCard::kShimmerStart);
    }
    if (videoOpacity > 0) {
        // Frames come at nearly the card's size (only the hover scale differs): a smooth filter
        // per frame would cost more than decoding it.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.setOpacity(videoOpacity);
        video_->paint(painter, card);
        painter.setOpacity(1);
    }

    // The rim: half its width lies outside the clip, as the card's edge cuts it.
    const qreal hover = hoverAmount();
    const auto away = PosterCardRules::border(options_.emphasizedBorder, false);
    const auto over = PosterCardRules::border(options_.emphasizedBorder, true);
    painter.setPen(QPen(Theme::withOpacity(Qt::white, away.opacity + (over.opacity - away.opacity) * hover),
        away.width + (over.width - away.width) * hover));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);

    paintTitleBand(painter, card);
    paintHeartCount(painter, card);
    paintBadges(painter, card);
}

void PosterCardView::paintBadges(QPainter& painter, const QRectF& card) const
{
    const QFont medium = Theme::systemFont(11, QFont::Medium);
    if (wallpaper_.isFromGravelnook)
        paintBadge(painter, card.topLeft() + QPointF(14, 14), QStringLiteral("Gravel Nook"), medium,
            Theme::withOpacity(Qt::black, 0.9), Theme::withOpacity(kSystemYellow, 0.95));
    if (isNew())
        paintBadge(painter, card.topLeft() + QPointF(14, 14), QStringLiteral("NEW"), Theme::systemFont(11, QFont::Bold),
            Qt::white, Theme::withOpacity(Theme::systemBlue(), 0.9));
    const auto group = PosterCardRules::uploadStatusGroup(options_.uploadStatus);
    if (group != PosterCardRules::StatusGroup::None) {
        const QString& text = *options_.uploadStatus;
        paintBadge(painter, QPointF(card.right() - 8 - badgeWidth(text, medium), card.top() + 8), text, medium, Qt::white,
            Theme::withOpacity(PosterCardRules::statusColor(group), 0.9));
    }
    // The rank goes over the badges: on a ranked partner card the number is what the row is about.
    if (options_.rank) {
        // Large digits that fade out downwards.
        const QFont font = Theme::systemFont(90, QFont::Bold);
        const QFontMetricsF metrics(font);
        QPainterPath digits;
        digits.addText(card.left() + 16, card.top() + metrics.ascent(), font, QString::number(*options_.rank));
        QLinearGradient fill(0, card.top(), 0, card.top() + metrics.height());
        fill.setColorAt(0, Qt::white);
        fill.setColorAt(1, Theme::withOpacity(Qt::white, 0));
        painter.fillPath(digits, fill);
    }
}

void PosterCardView::paintHeartCount(QPainter& painter, const QRectF& card) const
{
    const qreal hover = hoverAmount();
    const auto text = likeCountText();
    if (!text || hover <= 0)
        return;
    // Under the heart, tucked 4 px into its square, sliding and fading with it.
    const QFont font = Theme::systemFont(10, QFont::DemiBold);
    const qreal heartSide = heart_->width();
    const QRectF box(card.right() - kHeartPadding - heartSide, card.top() + kHeartPadding + heartSide - 4 + kHeartSlide * (1 - hover),
        heartSide, QFontMetricsF(font).height());
    painter.save();
    painter.setOpacity(hover);
    painter.setFont(font);
    painter.setPen(Theme::withOpacity(Qt::black, 0.55));
    painter.drawText(box.translated(0, 1), Qt::AlignHCenter | Qt::AlignTop, *text);
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, *text);
    painter.restore();
}

void PosterCardView::paintTitleBand(QPainter& painter, const QRectF& card) const
{
    // An own video's card has only a frame of it for a picture: its name stays on.
    const qreal shown = PosterCardRules::isLocalVideo(wallpaper_) ? 1.0 : hoverAmount();
    TitleBand::paint(painter, card, wallpaper_.title, wallpaper_.category, shown, TitleBand::kCard);
}
