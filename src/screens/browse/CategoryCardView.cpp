#include "screens/browse/CategoryCardView.h"

#include "ui/BottomShade.h"
#include "ui/CachedAsyncImage.h"
#include "ui/ElidedText.h"
#include "ui/GlassBackground.h"
#include "ui/NameGradient.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kPadding = 2;
constexpr qreal kHoverScale = 1.02;
} // namespace

CategoryCardView::CategoryCardView(const CategoryItem& category, const std::optional<QUrl>& posterUrl, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeOut(200), parent), category_(category), picture_(new CachedAsyncImage(this))
{
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    picture_->setUrl(posterUrl.value_or(QUrl()));
    connect(this, &PressableWidget::clicked, this, [this] { Q_EMIT tapped(category_); });
}

QUrl CategoryCardView::posterUrl() const { return picture_->url(); }

bool CategoryCardView::hasPicture() const { return picture_->hasImage(); }

qreal CategoryCardView::scale() const { return 1.0 + (kHoverScale - 1.0) * hoverAmount(); }

int CategoryCardView::heightForWidth(int width) const
{
    return int(std::lround((width - 2 * kPadding) * kAspect)) + 2 * kPadding;
}

QSize CategoryCardView::sizeHint() const { return {370, heightForWidth(370)}; }

QRectF CategoryCardView::cardRect() const
{
    const QRectF room = QRectF(rect()).adjusted(kPadding, kPadding, -kPadding, -kPadding);
    QSizeF size(room.width(), room.width() * kAspect);
    if (size.height() > room.height())
        size = QSizeF(room.height() / kAspect, room.height());
    return QRectF(room.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

bool CategoryCardView::hitTest(const QPointF& point) const
{
    return GlassBackground::shape(cardRect(), kCornerRadius).contains(point);
}

void CategoryCardView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF card = cardRect();
    const qreal hover = hoverAmount();
    painter.translate(card.center());
    painter.scale(scale(), scale());
    painter.translate(-card.center());

    const QPainterPath shape = GlassBackground::shape(card, kCornerRadius);
    painter.save();
    painter.setClipPath(shape);
    if (picture_->url().isEmpty()) {
        // No poster will come: a colour of its own rather than an empty tile.
        NameGradient::paint(painter, card, category_.categoryName);
    } else if (!picture_->paint(painter, card)) {
        QLinearGradient placeholder(card.topLeft(), card.bottomRight());
        placeholder.setColorAt(0, Theme::withOpacity(Qt::white, 0.1));
        placeholder.setColorAt(1, Theme::withOpacity(Qt::white, 0.05));
        painter.fillRect(card, placeholder);
    }
    BottomShade::paint(painter, card);
    painter.setFont(Theme::systemFont(40, QFont::DemiBold));
    painter.setPen(Qt::white);
    const QRectF name = card.adjusted(18, 0, -18, -16);
    painter.drawText(name, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine,
        ElidedText::toWidth(category_.categoryName, QFontMetricsF(painter.font()), name.width()));
    painter.restore();

    QPen border(Theme::withOpacity(Qt::white, 0.08 + (0.15 - 0.08) * hover), 1.0 + 0.5 * hover);
    painter.setPen(border);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
}
