#include "ui/TitleBand.h"

#include "ui/ElidedText.h"
#include "ui/Theme.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

void TitleBand::paint(QPainter& painter, const QRectF& picture, const QString& title, const QString& caption, qreal amount,
    const Look& look)
{
    if (amount <= 0)
        return;
    painter.save();
    painter.setOpacity(painter.opacity() * amount);
    const qreal bandHeight = look.height * amount;
    const QRectF band(picture.left(), picture.bottom() - bandHeight, picture.width(), bandHeight);
    QLinearGradient shade(band.topLeft(), band.bottomLeft());
    shade.setColorAt(0, Qt::transparent);
    shade.setColorAt(0.5, Theme::withOpacity(Qt::black, 0.2));
    shade.setColorAt(1, Theme::withOpacity(Qt::black, 0.6));
    painter.fillRect(band, shade);

    const QFont captionFont = Theme::font(Theme::TextStyle::Caption);
    const QFont titleFont = Theme::systemFont(14, QFont::DemiBold);
    const QFontMetricsF captionMetrics(captionFont);
    const QFontMetricsF titleMetrics(titleFont);
    const qreal textWidth = std::max<qreal>(0, picture.width() - 2 * look.inset);
    const qreal bottom = picture.bottom() - look.inset + look.slide * (1 - amount);
    const QRectF titleBox(picture.left() + look.inset, bottom - titleMetrics.height(), textWidth, titleMetrics.height());
    if (!caption.isEmpty()) {
        const QRectF captionBox(titleBox.left(), titleBox.top() - 2 - captionMetrics.height(), textWidth, captionMetrics.height());
        painter.setFont(captionFont);
        painter.setPen(Theme::withOpacity(Qt::white, 0.8));
        painter.drawText(captionBox, Qt::AlignLeft | Qt::AlignVCenter, ElidedText::toWidth(caption, captionMetrics, textWidth));
    }
    painter.setFont(titleFont);
    painter.setPen(Qt::white);
    painter.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter, ElidedText::toWidth(title, titleMetrics, textWidth));
    painter.restore();
}
