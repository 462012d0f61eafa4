#include "ui/BottomShade.h"

#include "ui/Theme.h"

#include <QLinearGradient>
#include <QPainter>

namespace {
constexpr qreal kShadeShare = 0.4;
}

void BottomShade::paint(QPainter& painter, const QRectF& card)
{
    const QRectF band(card.left(), card.bottom() - card.height() * kShadeShare, card.width(), card.height() * kShadeShare);
    QLinearGradient shade(band.topLeft(), band.bottomLeft());
    shade.setColorAt(0, Theme::withOpacity(Qt::black, 0));
    shade.setColorAt(0.5, Theme::withOpacity(Qt::black, 0.4));
    shade.setColorAt(1, Theme::withOpacity(Qt::black, 0.7));
    painter.fillRect(band, shade);
}
