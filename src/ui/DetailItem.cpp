#include "ui/DetailItem.h"

#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int kGap = 4;
QFont chipFont() { return Theme::font(Theme::TextStyle::Caption); }
int symbolSize() { return Symbols::sizeForFont(Theme::pixelSize(Theme::TextStyle::Caption)); }
QColor chipColor() { return Theme::withOpacity(Qt::white, 0.8); }
} // namespace

QList<DetailItem> DetailItem::detailItems(const WallpaperModel& wallpaper)
{
    QList<DetailItem> items;
    const auto add = [&](const char* symbol, const std::optional<QString>& text) {
        if (text && !text->isEmpty())
            items.append({QString::fromLatin1(symbol), *text});
    };
    add("aspectratio", wallpaper.resolution);
    add("doc", wallpaper.fileSize);
    add("clock", wallpaper.duration);
    return items;
}

int DetailItem::width() const { return symbolSize() + kGap + QFontMetrics(chipFont()).horizontalAdvance(text); }

int DetailItem::height() { return std::max(symbolSize(), QFontMetrics(chipFont()).height()); }

int DetailItem::rowWidth(const QList<DetailItem>& items, int spacing)
{
    int total = 0;
    for (const DetailItem& item : items)
        total += item.width();
    return items.isEmpty() ? 0 : total + spacing * int(items.size() - 1);
}

void DetailItem::paint(QPainter& painter, const QPointF& origin) const
{
    const int side = symbolSize();
    const int rowHeight = height();
    Symbols::paint(painter, QRectF(origin.x(), origin.y() + (rowHeight - side) / 2.0, side, side), symbol, chipColor());
    painter.save();
    painter.setFont(chipFont());
    painter.setPen(chipColor());
    painter.drawText(QRectF(origin.x() + side + kGap, origin.y(), width(), rowHeight), Qt::AlignVCenter | Qt::AlignLeft, text);
    painter.restore();
}
