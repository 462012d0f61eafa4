#include "screens/browse/HeroSlideView.h"

#include "engine/VideoCacheService.h"
#include "foundation/Async.h"
#include "ui/BrowseContext.h"
#include "ui/CachedAsyncImage.h"
#include "ui/ElidedText.h"
#include "ui/FrameComposer.h"
#include "ui/LabelButton.h"
#include "ui/LikeButton.h"
#include "ui/LoopingVideo.h"
#include "ui/OverscrollStretch.h"
#include "ui/Theme.h"

#include <QPaintEvent>
#include <QPainter>

namespace {
constexpr int kLeading = 50;
constexpr int kSpacing = 8;
constexpr int kFactSpacing = 12;
// A category is one fact in a row of them, not a text column.
constexpr int kMaxFactCharacters = 60;
constexpr int kButtonSpacing = 14;
constexpr int kButtonTop = 6;
constexpr qreal kDimmed = 0.6;

QFont featuredFont()
{
    QFont font = Theme::font(Theme::TextStyle::Body, QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 2.0);
    return font;
}
QFont titleFont() { return Theme::systemFont(30, QFont::Bold); }
QFont factFont() { return Theme::font(Theme::TextStyle::Body); }

LabelButton::Look viewButtonLook()
{
    LabelButton::Look look;
    look.font = Theme::font(Theme::TextStyle::Body);
    look.textColor = Qt::black;
    look.fill = Qt::white;
    look.hoverFill = Theme::withOpacity(Qt::white, 0.9);
    look.symbol = QStringLiteral("arrow.up.right");
    look.restOpacity = 0.7;
    look.hoverOpacity = 1.0;
    return look;
}
} // namespace

HeroSlideView::HeroSlideView(const WallpaperModel& wallpaper, BrowseContext* context, VideoCacheService& videoCache,
    VideoPlayerPool& players, QWidget* parent)
    : QWidget(parent), wallpaper_(wallpaper), context_(context), videoCache_(videoCache), players_(players),
      poster_(new CachedAsyncImage(this)), viewButton_(new LabelButton(tr("View Wallpaper"), viewButtonLook(), this)),
      likeButton_(new LikeButton(wallpaper, LikeButton::Look::heroOverlay(), this)), dim_(kDimmed), presenter_(this)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    poster_->setUrl(wallpaper_.posterUrl.value_or(QUrl()));
    connect(viewButton_, &LabelButton::clicked, this, [this] {
        if (context_)
            context_->openWallpaper(wallpaper_);
    });
    connect(&dim_, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&videoCache_, &VideoCacheService::cacheCleared, this, &HeroSlideView::forgetLocalCopy);
    // A poster that arrives during a turn is what the frozen slide shows.
    connect(poster_, &CachedAsyncImage::imageChanged, this, [this] {
        if (frozen_ && !isVideoReady())
            freeze();
    });
}

HeroSlideView::~HeroSlideView() = default;

void HeroSlideView::setWallpaper(const WallpaperModel& wallpaper)
{
    wallpaper_ = wallpaper;
    text_.invalidate();
    coverStale_ = true;
    poster_->setUrl(wallpaper_.posterUrl.value_or(QUrl()));
    likeButton_->setWallpaper(wallpaper_);
    relayout();
    update();
}

void HeroSlideView::setCoveredBottom(int covered)
{
    if (covered == coveredBottom_)
        return;
    coveredBottom_ = covered;
    text_.invalidate();
    relayout();
    update();
}

void HeroSlideView::setShade(const QImage* shade)
{
    shade_ = shade;
    coverStale_ = true;
}

bool HeroSlideView::hasPoster() const { return poster_->hasImage(); }
bool HeroSlideView::hasPlayer() const { return video_ && video_->hasPlayer(); }
bool HeroSlideView::isVideoReady() const { return video_ && video_->isReady(); }
QUrl HeroSlideView::videoUrl() const { return video_ ? video_->url() : QUrl(); }
bool HeroSlideView::isPlaying() const { return video_ && video_->wantsToPlay() && video_->isRunning(); }

void HeroSlideView::setShouldLoadVideo(bool load)
{
    if (load == shouldLoad_)
        return;
    shouldLoad_ = load;
    if (load) {
        makeVideo();
    } else {
        // The player goes with its readiness: the poster shows until a new player has a frame.
        delete std::exchange(video_, nullptr);
        update();
    }
}

void HeroSlideView::makeVideo()
{
    if (!wallpaper_.previewhdUrl || video_)
        return;
    if (wallpaper_.key && !localCopy_)
        localCopy_ = videoCache_.cachedPreviewVideoUrl(*wallpaper_.previewhdUrl, wallpaper_.key);
    video_ = new LoopingVideo(this, players_);
    video_->setFrameSize(size());
    video_->setUrl(localCopy_.value_or(*wallpaper_.previewhdUrl));
    video_->setPresenter([this] { return presentFrame(); });
    connect(video_, &LoopingVideo::readyChanged, this, [this] {
        updatePlayback();
        update();
    });
    updatePlayback();
    cacheLocalCopy();
}

void HeroSlideView::setCurrent(bool current)
{
    if (current == current_)
        return;
    current_ = current;
    dim_.animateTo(current ? 1.0 : kDimmed, AnimatedValue::Curve::easeInOut(700));
    updatePlayback();
}

void HeroSlideView::setFrozen(bool frozen)
{
    if (frozen == frozen_)
        return;
    frozen_ = frozen;
    if (frozen_)
        freeze();
    else
        still_ = QImage();
    updatePlayback();
    update();
}

void HeroSlideView::freeze()
{
    const qreal ratio = devicePixelRatioF();
    still_ = QImage(size() * ratio, QImage::Format_RGB32);
    still_.setDevicePixelRatio(ratio);
    if (still_.isNull())
        return;
    QPainter painter(&still_);
    paintSlide(painter, QPointF());
    painter.end();
    // The still holds it now; the slide makes it anew when it plays again.
    cover_ = QImage();
    coverStale_ = true;
}

void HeroSlideView::updatePlayback()
{
    if (!video_)
        return;
    // A slide waiting its turn runs only until its first frame, then holds it; nothing runs
    // while the carousel turns.
    video_->setPlaying(!frozen_ && (current_ || !video_->isReady()));
}

void HeroSlideView::cacheLocalCopy()
{
    if (!wallpaper_.key || localCopy_ || cacheAsked_)
        return;
    cacheAsked_ = true;
    fireAndForget(copyPreview(this, &videoCache_, *wallpaper_.previewhdUrl, *wallpaper_.key), QStringLiteral("HeroCarouselItem"));
}

void HeroSlideView::forgetLocalCopy()
{
    if (!localCopy_)
        return;
    localCopy_.reset();
    cacheAsked_ = false;
    if (!video_)
        return;
    // Back to the address until the copy is fetched again.
    if (video_->url().isLocalFile())
        video_->setUrl(*wallpaper_.previewhdUrl);
    cacheLocalCopy();
}

QCoro::Task<> HeroSlideView::copyPreview(QPointer<HeroSlideView> self, VideoCacheService* cache, QUrl url, qint64 key)
{
    try {
        const QUrl local = co_await cache->cachePreviewVideo(url, key);
        if (!self)
            co_return;
        self->localCopy_ = local;
        // A player still waiting for its first frame switches now; a running one keeps going and
        // the next player of this slide plays the copy.
        if (self->video_ && !self->video_->isReady())
            self->video_->setUrl(local);
    } catch (const std::exception&) {
        // The preview keeps streaming; the next showing tries again.
        if (self)
            self->cacheAsked_ = false;
    }
}

QStringList HeroSlideView::facts() const
{
    QStringList facts{ElidedText::bounded(wallpaper_.category, kMaxFactCharacters)};
    for (const std::optional<QString>& fact : {wallpaper_.resolution, wallpaper_.fileSize})
        if (fact && !fact->isEmpty())
            facts.append(*fact);
    return facts;
}

QString HeroSlideView::titleLines() const
{
    return ElidedText::wrapped(wallpaper_.title, titleFont(), std::max(1, width() - 2 * kLeading), 2);
}

HeroSlideView::TextLayout HeroSlideView::textLayout() const
{
    const int width = std::max(0, this->width() - 2 * kLeading);
    const QFontMetrics featured(featuredFont());
    const QFontMetrics title(titleFont());
    const QFontMetrics fact(factFont());
    const int titleHeight = title.boundingRect(QRect(0, 0, std::max(width, 1), 100000), 0, titleLines()).height();
    const int buttonsHeight = std::max(viewButton_->sizeHint().height(), likeButton_->sizeHint().height());
    const int total = featured.height() + kSpacing + titleHeight + kSpacing + fact.height() + kSpacing + kButtonTop + buttonsHeight;
    TextLayout layout;
    // At mid-height, unless that reaches the covered foot; never above the slide's top.
    const qreal lowest = height() - coveredBottom_ - kCoverClearance - total;
    qreal y = std::max(0.0, std::min((height() - total) / 2.0, lowest));
    layout.featured = QRectF(kLeading, y, width, featured.height());
    y += featured.height() + kSpacing;
    layout.title = QRectF(kLeading, y, width, titleHeight);
    y += titleHeight + kSpacing;
    layout.facts = QRectF(kLeading, y, width, fact.height());
    y += fact.height() + kSpacing + kButtonTop;
    layout.buttons = QPoint(kLeading, int(y));
    return layout;
}

void HeroSlideView::resizeEvent(QResizeEvent*)
{
    if (video_)
        video_->setFrameSize(size());
    relayout();
}

void HeroSlideView::relayout()
{
    layout_ = textLayout();
    coverStale_ = true;
    if (frozen_)
        freeze();
    const TextLayout& layout = layout_;
    const QSize view = viewButton_->sizeHint();
    const QSize like = likeButton_->sizeHint();
    const int rowHeight = std::max(view.height(), like.height());
    viewButton_->setGeometry(layout.buttons.x(), layout.buttons.y() + (rowHeight - view.height()) / 2, view.width(), view.height());
    likeButton_->setGeometry(viewButton_->geometry().right() + 1 + kButtonSpacing,
        layout.buttons.y() + (rowHeight - like.height()) / 2, like.width(), like.height());
}

void HeroSlideView::setPull(double pull)
{
    if (pull == pull_)
        return;
    pull_ = pull;
    if (frozen_)
        freeze();
    update();
}

bool HeroSlideView::presentFrame()
{
    // A slide that moves, stretches or fades is repainted whole.
    if (frozen_ || pull_ != 0 || dim_.value() < 1 || !video_)
        return false;
    if (!presenter_.present(video_->frame(), cover(QPointF(-x(), 0))))
        return false;
    ++framesPainted_;
    return true;
}

void HeroSlideView::paintEvent(QPaintEvent* event)
{
    // Whatever was painted over this part may have changed with it.
    presenter_.invalidate(event->region());
    QPainter painter(this);
    // A slide that is not the current one fades towards the page.
    const bool dimmed = dim_.value() < 1;
    const QColor veil = Theme::withOpacity(Theme::appBackgroundColor(), 1 - dim_.value());
    // The shade stays with the carousel while a slide at rest moves under it (a pull, a
    // resize); a frozen slide carries the shade of its resting place along, and goes to the
    // screen with its veil in one pass.
    if (frozen_) {
        if (dimmed && FrameComposer::drawVeiled(painter, rect(), still_, veil))
            return;
        painter.drawImage(QPointF(), still_);
    } else {
        paintSlide(painter, QPointF(-x(), 0));
    }
    if (dimmed)
        painter.fillRect(rect(), veil);
}

void HeroSlideView::paintSlide(QPainter& painter, const QPointF& shadeAt)
{
    const QRectF area = rect();
    const QImage& over = cover(shadeAt);
    // At rest a frame and what covers it go to the screen in one pass.
    if (pull_ == 0 && video_ && FrameComposer::drawOver(painter, area, video_->frame(), over)) {
        ++framesPainted_;
        return;
    }
    // The poster until the current player has a frame; stretched, either still covers the slide.
    painter.setTransform(OverscrollStretch::stretchTransform(area, pull_));
    if (video_ && video_->paint(painter, area))
        ++framesPainted_;
    else if (!poster_->paint(painter, area))
        painter.fillRect(area, Theme::appBackgroundColor());
    painter.resetTransform();
    painter.drawImage(QPointF(), over);
}

const QImage& HeroSlideView::cover(const QPointF& shadeAt)
{
    const qreal ratio = devicePixelRatioF();
    const qint64 shadeKey = shade_ ? shade_->cacheKey() : 0;
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (!coverStale_ && cover_.size() == pixels && cover_.devicePixelRatio() == ratio && coverShadeAt_ == shadeAt
        && coverShadeKey_ == shadeKey)
        return cover_;
    if (cover_.size() != pixels || !cover_.isDetached())
        cover_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    cover_.setDevicePixelRatio(ratio);
    cover_.fill(Qt::transparent);
    if (!cover_.isNull()) {
        QPainter painter(&cover_);
        if (shade_ && !shade_->isNull())
            painter.drawImage(shadeAt, *shade_);
        // The text is kept between covers. Glyphs may reach a little past their boxes.
        const QRectF text = layout_.featured.united(layout_.title).united(layout_.facts).adjusted(-4, -4, 4, 4);
        text_.paint(painter, *this, {}, [this](QPainter& cached) { paintText(cached); }, text);
    }
    coverShadeAt_ = shadeAt;
    coverShadeKey_ = shadeKey;
    coverStale_ = false;
    return cover_;
}

void HeroSlideView::paintText(QPainter& painter) const
{
    const TextLayout& layout = layout_;
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(featuredFont());
    painter.setPen(Theme::withOpacity(Qt::white, 0.7));
    painter.drawText(layout.featured, Qt::AlignLeft | Qt::AlignVCenter, tr("FEATURED"));
    painter.setFont(titleFont());
    painter.setPen(Theme::withOpacity(Qt::white, 0.9));
    painter.drawText(layout.title, Qt::AlignLeft | Qt::AlignTop, titleLines());
    painter.setFont(factFont());
    painter.setPen(Theme::withOpacity(Qt::white, 0.7));
    const QFontMetrics metrics(factFont());
    qreal x = layout.facts.left();
    for (const QString& fact : facts()) {
        painter.drawText(QRectF(x, layout.facts.top(), layout.facts.right() - x, layout.facts.height()),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, fact);
        x += metrics.horizontalAdvance(fact) + kFactSpacing;
    }
}
