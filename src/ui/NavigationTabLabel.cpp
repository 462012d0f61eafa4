#include "ui/NavigationTabLabel.h"

#include "ui/GlassBackground.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
constexpr int kPaddingX = 13;
constexpr int kPaddingY = 6;
constexpr qreal kCapsuleRadius = 999;
constexpr qreal kSelectedOpacity = 0.9;
constexpr qreal kHoveredOpacity = 0.15;
} // namespace

QSize NavigationTabLabel::size(const QString& title)
{
    const QFontMetrics metrics(Theme::font(Theme::TextStyle::Body));
    return {metrics.horizontalAdvance(title) + 2 * kPaddingX, metrics.height() + 2 * kPaddingY};
}

qreal NavigationTabLabel::capsuleOpacity(qreal selected, qreal hovered)
{
    selected = std::clamp<qreal>(selected, 0, 1);
    return kSelectedOpacity * selected + kHoveredOpacity * std::clamp<qreal>(hovered, 0, 1) * (1 - selected);
}

QColor NavigationTabLabel::textColor(qreal selected)
{
    return Theme::mix(Qt::white, Qt::black, std::clamp<qreal>(selected, 0, 1));
}

QPainterPath NavigationTabLabel::capsule(const QRectF& rect) { return GlassBackground::shape(rect, kCapsuleRadius); }

void NavigationTabLabel::paint(QPainter& painter, const QRectF& rect, const QString& title, qreal selected, qreal hovered)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (const qreal opacity = capsuleOpacity(selected, hovered); opacity > 0)
        painter.fillPath(capsule(rect), Theme::withOpacity(Qt::white, opacity));
    painter.setPen(textColor(selected));
    painter.setFont(Theme::font(Theme::TextStyle::Body));
    painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, title);
    painter.restore();
}
