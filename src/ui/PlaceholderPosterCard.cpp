#include "ui/PlaceholderPosterCard.h"

#include "ui/GlassBackground.h"
#include "ui/Theme.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

PlaceholderPosterCard::PlaceholderPosterCard(bool softBlackLoadingBase, QWidget* parent)
    : QWidget(parent), softBlackLoadingBase_(softBlackLoadingBase), shimmer_(kShimmerStart)
{
    setAttribute(Qt::WA_TranslucentBackground);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    connect(&shimmer_, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
}

int PlaceholderPosterCard::heightForWidth(int width) const { return int(std::lround(width * 9.0 / 16.0)); }
QSize PlaceholderPosterCard::sizeHint() const { return {320, heightForWidth(320)}; }

void PlaceholderPosterCard::paint(QPainter& painter, const QRectF& rect, bool softBlackLoadingBase, qreal shimmerOffset)
{
    if (rect.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath card = GlassBackground::shape(rect, kCornerRadius);
    painter.save();
    painter.setClipPath(card, Qt::IntersectClip);

    if (softBlackLoadingBase) {
        painter.fillPath(card, Theme::withOpacity(Qt::black, 0.22));
    } else {
        QLinearGradient base(rect.topLeft(), rect.bottomRight());
        base.setColorAt(0, Theme::withOpacity(Qt::black, 0.08));
        base.setColorAt(0.5, Theme::withOpacity(Qt::black, 0.12));
        base.setColorAt(1, Theme::withOpacity(Qt::black, 0.08));
        painter.fillPath(card, base);
    }

    // A card-wide band, bright in its middle, slid along by the offset.
    const QRectF band = rect.translated(shimmerOffset, 0);
    QLinearGradient shimmer(band.left(), 0, band.right(), 0);
    shimmer.setColorAt(0, Qt::transparent);
    shimmer.setColorAt(0.5, Theme::withOpacity(Qt::white, softBlackLoadingBase ? 0.14 : 0.05));
    shimmer.setColorAt(1, Qt::transparent);
    painter.fillPath(GlassBackground::shape(band, kCornerRadius), shimmer);

    painter.restore();
    painter.setPen(QPen(softBlackLoadingBase ? Theme::withOpacity(Qt::white, 0.1) : Theme::withOpacity(Qt::black, 0.08), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(GlassBackground::shape(rect.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius));
    painter.restore();
}

void PlaceholderPosterCard::paintEvent(QPaintEvent*)
{
    // 16:9 fitted into whatever the layout gives, centred.
    QSizeF size(width(), width() * 9.0 / 16.0);
    if (size.height() > height())
        size = QSizeF(height() * 16.0 / 9.0, height());
    const QRectF card(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    QPainter painter(this);
    paint(painter, card, softBlackLoadingBase_, shimmer_.value());
}

void PlaceholderPosterCard::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    shimmer_.setValue(kShimmerStart);
    shimmer_.animateTo(kShimmerEnd, AnimatedValue::Curve::linear(kShimmerCycleMs).repeatingForever(false));
}

// A card out of sight keeps no animation ticking.
void PlaceholderPosterCard::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    shimmer_.setValue(kShimmerStart);
}
