#include "ui/LockscreenExclusiveChip.h"

#include "ui/GlassBackground.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {
// The badge is moved 6 right and 7 up from the capsule's top-right corner.
constexpr int kOverhangX = 6;
constexpr int kOverhangY = 7;
constexpr int kBadgePaddingX = 7;
constexpr int kBadgePaddingY = 3;

QFont badgeFont() { return Theme::systemFont(10, QFont::Bold); }
QString badgeText() { return LockscreenExclusiveChip::tr("NEW"); }
} // namespace

LockscreenExclusiveChip::LockscreenExclusiveChip(QWidget* parent) : FilterChip(tr("Lockscreen Exclusive"), false, parent) {}

QSize LockscreenExclusiveChip::sizeHint() const { return capsuleSize(title()) + QSize(kOverhangX, kOverhangY); }

QRectF LockscreenExclusiveChip::capsuleRect() const
{
    return QRectF(0, kOverhangY, width() - kOverhangX, height() - kOverhangY);
}

QRectF LockscreenExclusiveChip::badgeRect() const
{
    const QFontMetrics metrics(badgeFont());
    const QSizeF size(metrics.horizontalAdvance(badgeText()) + 2 * kBadgePaddingX, metrics.height() + 2 * kBadgePaddingY);
    const QRectF capsule = capsuleRect();
    return QRectF(QPointF(capsule.right() + kOverhangX - size.width(), capsule.top() - kOverhangY), size);
}

void LockscreenExclusiveChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal hover = hoverAmount();
    const QRectF capsule = capsuleRect();
    QLinearGradient face(capsule.topLeft(), capsule.bottomRight());
    face.setColorAt(0, Theme::withOpacity(Qt::black, 0.45 + 0.07 * hover));
    face.setColorAt(0.5, Theme::withOpacity(Qt::black, 0.32 + 0.06 * hover));
    face.setColorAt(1, Theme::withOpacity(Qt::white, 0.07));
    painter.fillPath(GlassBackground::shape(capsule, capsule.height()), face);
    paintOutline(painter);
    paintTitle(painter, Theme::withOpacity(Qt::white, 0.78 + 0.14 * hover));

    const QRectF badge = badgeRect();
    painter.fillPath(GlassBackground::shape(badge, badge.height()), Theme::withOpacity(Theme::systemBlue(), 0.92));
    painter.setPen(Qt::white);
    painter.setFont(badgeFont());
    painter.drawText(badge, Qt::AlignCenter, badgeText());
}
