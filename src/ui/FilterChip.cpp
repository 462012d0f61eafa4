#include "ui/FilterChip.h"

#include "ui/ElidedText.h"
#include "ui/GlassBackground.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
constexpr int kPaddingX = 18;
constexpr int kPaddingY = 9;
constexpr qreal kCapsule = 999;
// A category name from the catalogue can be any length; past this its chip elides it.
constexpr int kMaxTextWidth = 320;
} // namespace

FilterChip::FilterChip(const QString& title, bool selected, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeOut(200), parent), title_(ElidedText::bounded(title)), selected_(selected)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFont(Theme::font(Theme::TextStyle::Body));
}

void FilterChip::setSelected(bool selected)
{
    if (selected == selected_)
        return;
    selected_ = selected;
    update();
}

QColor FilterChip::textColor() const
{
    if (selected_)
        return Qt::black;
    return Theme::withOpacity(Qt::white, 0.7 + 0.2 * hoverAmount());
}

QColor FilterChip::fillColor() const
{
    if (selected_)
        return Qt::white;
    return Theme::withOpacity(Qt::black, 0.3 + 0.2 * hoverAmount());
}

QSize FilterChip::capsuleSize(const QString& title)
{
    const QFontMetrics metrics(Theme::font(Theme::TextStyle::Body));
    const int text = std::min(metrics.horizontalAdvance(ElidedText::bounded(title)), kMaxTextWidth);
    return {text + 2 * kPaddingX, metrics.height() + 2 * kPaddingY};
}

QSize FilterChip::sizeHint() const { return capsuleSize(title_); }

QRectF FilterChip::capsuleRect() const { return rect(); }

bool FilterChip::hitTest(const QPointF& point) const { return GlassBackground::shape(capsuleRect(), kCapsule).contains(point); }

void FilterChip::paintOutline(QPainter& painter) const
{
    painter.setPen(QPen(Theme::withOpacity(Theme::systemGray(), 0.4), 0.2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(GlassBackground::shape(capsuleRect(), kCapsule));
}

void FilterChip::paintTitle(QPainter& painter, const QColor& color) const
{
    painter.setPen(color);
    painter.setFont(font());
    const QRectF capsule = capsuleRect();
    painter.drawText(capsule, Qt::AlignCenter | Qt::TextSingleLine,
        ElidedText::toWidth(title_, QFontMetricsF(font()), std::min<qreal>(kMaxTextWidth, capsule.width())));
}

void FilterChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(GlassBackground::shape(capsuleRect(), kCapsule), fillColor());
    paintOutline(painter);
    paintTitle(painter, textColor());
}
