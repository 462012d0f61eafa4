#include "ui/GlassBackground.h"

#include "ui/Theme.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
// A dark heads-up material without the blur of what lies behind it.
const QColor kMaterial(34, 36, 40, 200);
constexpr qreal kRimWidth = 0.5;
} // namespace

GlassBackground::GlassBackground(qreal cornerRadius, QWidget* parent) : QWidget(parent), cornerRadius_(cornerRadius)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

QPainterPath GlassBackground::shape(const QRectF& rect, qreal cornerRadius)
{
    const qreal radius = std::clamp(cornerRadius, 0.0, std::min(rect.width(), rect.height()) / 2);
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

void GlassBackground::setSolid(bool solid)
{
    solid_ = solid;
    update();
}

void GlassBackground::paint(QPainter& painter, const QRectF& rect, qreal cornerRadius, bool solid)
{
    if (rect.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath outline = shape(rect, cornerRadius);
    QColor fill = kMaterial;
    if (solid)
        fill.setAlpha(255);
    painter.fillPath(outline, fill);
    // The rim lies centred on the edge, half of it outside the fill.
    QLinearGradient rim(rect.topLeft(), rect.bottomRight());
    rim.setColorAt(0, Theme::withOpacity(Qt::white, 0.25));
    rim.setColorAt(1, Theme::withOpacity(Qt::white, 0.08));
    painter.setPen(QPen(QBrush(rim), kRimWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
    painter.restore();
}

void GlassBackground::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // Inset by half the rim so all of it stays inside the widget.
    paint(painter, QRectF(rect()).adjusted(kRimWidth / 2, kRimWidth / 2, -kRimWidth / 2, -kRimWidth / 2), cornerRadius_, solid_);
}
