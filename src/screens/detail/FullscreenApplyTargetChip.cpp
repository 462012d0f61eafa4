#include "screens/detail/FullscreenApplyTargetChip.h"

#include "ui/GlassBackground.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kPaddingX = 12;
constexpr int kPaddingY = 6;
constexpr qreal kCapsule = 999;
} // namespace

FullscreenApplyTargetChip::FullscreenApplyTargetChip(const QString& title, QWidget* parent) : FilterChip(title, false, parent)
{
    setFont(Theme::systemFont(11, QFont::Medium));
}

QSize FullscreenApplyTargetChip::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(title()) + 2 * kPaddingX, metrics.height() + 2 * kPaddingY};
}

QColor FullscreenApplyTargetChip::chipTextColor() const
{
    if (!isEnabled())
        return Theme::withOpacity(Qt::white, 0.35);
    if (isSelected())
        return Qt::black;
    return Theme::withOpacity(Qt::white, 0.82 + (0.95 - 0.82) * hoverAmount());
}

QColor FullscreenApplyTargetChip::chipFillColor() const
{
    if (!isEnabled())
        return Theme::withOpacity(Qt::white, 0.08);
    if (isSelected())
        return Qt::white;
    return Theme::withOpacity(Qt::white, 0.12 + (0.18 - 0.12) * hoverAmount());
}

QColor FullscreenApplyTargetChip::outlineColor() const { return Theme::withOpacity(Qt::white, isEnabled() ? 0.35 : 0.12); }

void FullscreenApplyTargetChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath capsule = GlassBackground::shape(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), kCapsule);
    painter.fillPath(capsule, chipFillColor());
    painter.setPen(QPen(outlineColor(), 0.5));
    painter.drawPath(capsule);
    paintTitle(painter, chipTextColor());
}
