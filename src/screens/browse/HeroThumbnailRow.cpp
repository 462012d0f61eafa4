#include "screens/browse/HeroThumbnailRow.h"

#include "ui/CachedAsyncImage.h"
#include "ui/GlassBackground.h"
#include "ui/PointerRecheck.h"
#include "ui/Theme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

namespace {
constexpr qreal kCornerRadius = 20;
constexpr qreal kRingWidth = 4;
const AnimatedValue::Curve kRingCurve = AnimatedValue::Curve::easeOut(200);
} // namespace

HeroThumbnailRow::HeroThumbnailRow(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(kHeight);
    // The page scrolls under a resting pointer: the thumbnail it left must not stay lit.
    new PointerRecheck(this, [this](std::optional<QPoint> at) { setHovered(at ? indexAt(*at) : std::nullopt); });
}

HeroThumbnailRow::~HeroThumbnailRow() = default;

void HeroThumbnailRow::setWallpapers(const QList<WallpaperModel>& wallpapers)
{
    for (Thumbnail& thumbnail : thumbnails_)
        delete thumbnail.picture;
    thumbnails_.clear();
    for (int i = 0; i < int(wallpapers.size()); ++i) {
        Thumbnail thumbnail{new CachedAsyncImage(this), std::make_unique<AnimatedValue>(i == selected_ ? 1 : 0),
            std::make_unique<AnimatedValue>(0)};
        thumbnail.picture->setUrl(wallpapers[i].imageUrl.value_or(QUrl()));
        connect(thumbnail.selectedRing.get(), &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
        connect(thumbnail.hoveredRing.get(), &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
        thumbnails_.push_back(std::move(thumbnail));
    }
    hovered_.reset();
    setScroll(scroll_);
    update();
}

void HeroThumbnailRow::setSelectedIndex(int index)
{
    if (index == selected_)
        return;
    for (int i : {selected_, index})
        if (i >= 0 && i < int(thumbnails_.size()))
            thumbnails_[i].selectedRing->animateTo(i == index ? 1 : 0, kRingCurve);
    selected_ = index;
}

int HeroThumbnailRow::contentWidth() const
{
    const int count = int(thumbnails_.size());
    return count > 0 ? 2 * kSidePadding + count * kThumbnail.width() + (count - 1) * kSpacing : 0;
}

QSize HeroThumbnailRow::sizeHint() const { return {contentWidth(), kHeight}; }

QRect HeroThumbnailRow::thumbnailRect(int index) const
{
    if (index < 0 || index >= int(thumbnails_.size()))
        return {};
    return QRect(QPoint(kSidePadding + index * (kThumbnail.width() + kSpacing) - scroll_, (kHeight - kThumbnail.height()) / 2),
        kThumbnail);
}

std::optional<int> HeroThumbnailRow::indexAt(const QPoint& point) const
{
    for (int i = 0; i < int(thumbnails_.size()); ++i)
        if (GlassBackground::shape(thumbnailRect(i), kCornerRadius).contains(point))
            return i;
    return std::nullopt;
}

qreal HeroThumbnailRow::thumbnailOpacity(int index) const
{
    return hovered_ == index && index != selected_ ? 1.0 : 0.6;
}

bool HeroThumbnailRow::hasPicture(int index) const
{
    return index >= 0 && index < int(thumbnails_.size()) && thumbnails_[index].picture->hasImage();
}

void HeroThumbnailRow::setHovered(std::optional<int> index)
{
    if (index == hovered_)
        return;
    if (hovered_ && *hovered_ < int(thumbnails_.size()))
        thumbnails_[*hovered_].hoveredRing->animateTo(0, kRingCurve);
    hovered_ = index;
    if (hovered_)
        thumbnails_[*hovered_].hoveredRing->animateTo(1, kRingCurve);
    setCursor(hovered_ ? Qt::PointingHandCursor : Qt::ArrowCursor);
    update();
}

void HeroThumbnailRow::setScroll(int offset)
{
    const int scroll = std::clamp(offset, 0, std::max(0, contentWidth() - width()));
    if (scroll == scroll_)
        return;
    scroll_ = scroll;
    update();
}

void HeroThumbnailRow::paintEvent(QPaintEvent*)
{
    QList<qreal> state{qreal(scroll_), qreal(selected_), qreal(hovered_.value_or(-1))};
    for (const Thumbnail& thumbnail : thumbnails_)
        state << qreal(thumbnail.picture->image().cacheKey()) << thumbnail.selectedRing->value() << thumbnail.hoveredRing->value();
    // Only the thumbnails are drawn on (or the whole row's message without them).
    QRectF area;
    for (int i = 0; i < int(thumbnails_.size()); ++i)
        area |= QRectF(thumbnailRect(i));
    QPainter painter(this);
    cache_.paint(painter, *this, state, [this](QPainter& cached) { paintRow(cached); }, area);
}

void HeroThumbnailRow::paintRow(QPainter& painter) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    if (thumbnails_.empty()) {
        painter.setFont(Theme::font(Theme::TextStyle::Caption));
        painter.setPen(Theme::withOpacity(Qt::white, 0.4));
        painter.drawText(rect(), Qt::AlignCenter, tr("No wallpapers available"));
        return;
    }
    for (int i = 0; i < int(thumbnails_.size()); ++i) {
        const QRectF box = thumbnailRect(i);
        if (!box.intersects(rect()))
            continue;
        const Thumbnail& thumbnail = thumbnails_[i];
        const QPainterPath shape = GlassBackground::shape(box, kCornerRadius);
        painter.save();
        painter.setOpacity(thumbnailOpacity(i));
        painter.setClipPath(shape);
        if (!thumbnail.picture->paint(painter, box))
            painter.fillRect(box, Theme::appBackgroundColor());
        // Rings are drawn inside the clip, so only their inner half shows, as on a clipped stack.
        const qreal selectedRing = thumbnail.selectedRing->value();
        const qreal hoveredRing = i == selected_ ? 0 : thumbnail.hoveredRing->value();
        for (qreal ring : {selectedRing, hoveredRing})
            if (ring > 0) {
                painter.setPen(QPen(Theme::withOpacity(Qt::white, ring), kRingWidth));
                painter.setBrush(Qt::NoBrush);
                painter.drawPath(shape);
            }
        painter.restore();
    }
}

void HeroThumbnailRow::mouseMoveEvent(QMouseEvent* event)
{
    setHovered(indexAt(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void HeroThumbnailRow::leaveEvent(QEvent* event)
{
    setHovered(std::nullopt);
    pressed_.reset();
    QWidget::leaveEvent(event);
}

void HeroThumbnailRow::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton ? indexAt(event->position().toPoint()) : std::nullopt;
    if (!pressed_)
        QWidget::mousePressEvent(event);
}

void HeroThumbnailRow::mouseReleaseEvent(QMouseEvent* event)
{
    const std::optional<int> pressed = std::exchange(pressed_, std::nullopt);
    if (pressed && event->button() == Qt::LeftButton && indexAt(event->position().toPoint()) == pressed)
        Q_EMIT picked(*pressed);
    else
        QWidget::mouseReleaseEvent(event);
}

void HeroThumbnailRow::wheelEvent(QWheelEvent* event)
{
    // Sideways scrolling only; an up or down turn scrolls the page.
    const int delta = event->angleDelta().x();
    if (delta == 0 || contentWidth() <= width()) {
        event->ignore();
        return;
    }
    setScroll(scroll_ - delta);
    setHovered(indexAt(event->position().toPoint()));
}

void HeroThumbnailRow::resizeEvent(QResizeEvent*)
{
    setScroll(scroll_);
}
