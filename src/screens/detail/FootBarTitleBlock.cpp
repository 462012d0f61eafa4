#include "screens/detail/FootBarTitleBlock.h"

#include "ui/ElidedText.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int kLineSpacing = 6;
constexpr int kItemSpacing = 12;
constexpr int kIconSpacing = 4;
constexpr qreal kDetailOpacity = 0.8;

QFont titleFont() { return Theme::font(Theme::TextStyle::Title3, QFont::Medium); }
QFont detailFont() { return Theme::font(Theme::TextStyle::Caption); }
int iconSide() { return Symbols::sizeForFont(Theme::pixelSize(Theme::TextStyle::Caption)); }
} // namespace

FootBarTitleBlock::FootBarTitleBlock(const QString& title, QList<DetailItem> details, QWidget* parent)
    : QWidget(parent), title_(ElidedText::bounded(title)), details_(std::move(details))
{
    // Resolution, size and length come from the catalogue too: cleaned like every label.
    for (DetailItem& item : details_)
        item.text = ElidedText::bounded(item.text);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

int FootBarTitleBlock::detailsWidth() const
{
    const QFontMetrics metrics(detailFont());
    int width = 0;
    for (const DetailItem& item : details_)
        width += iconSide() + kIconSpacing + metrics.horizontalAdvance(item.text);
    return width + std::max(0, int(details_.size()) - 1) * kItemSpacing;
}

int FootBarTitleBlock::shownDetails() const
{
    const QFontMetrics metrics(detailFont());
    int right = -kItemSpacing;
    for (int i = 0; i < int(details_.size()); ++i) {
        right += kItemSpacing + iconSide() + kIconSpacing + metrics.horizontalAdvance(details_[i].text);
        if (right > width())
            return i;
    }
    return int(details_.size());
}

QSize FootBarTitleBlock::sizeHint() const
{
    const int titleWidth = QFontMetrics(titleFont()).horizontalAdvance(title_);
    const int height = QFontMetrics(titleFont()).height() + kLineSpacing + QFontMetrics(detailFont()).height();
    return {std::min(std::max(titleWidth, detailsWidth()) + 1, kMaxWidth), height};
}

QSize FootBarTitleBlock::minimumSizeHint() const { return {std::min(detailsWidth(), kMaxWidth), sizeHint().height()}; }

void FootBarTitleBlock::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics titleMetrics(titleFont());
    painter.setFont(titleFont());
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, width(), titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        ElidedText::toWidth(title_, QFontMetricsF(titleFont()), width()));

    const QFontMetrics metrics(detailFont());
    const QColor color = Theme::withOpacity(Qt::white, kDetailOpacity);
    painter.setFont(detailFont());
    painter.setPen(color);
    const int top = titleMetrics.height() + kLineSpacing;
    int x = 0;
    for (const DetailItem& item : details_.first(shownDetails())) {
        const int side = iconSide();
        Symbols::paint(painter, QRectF(x, top + (metrics.height() - side) / 2.0, side, side), item.icon, color);
        x += side + kIconSpacing;
        const int textWidth = metrics.horizontalAdvance(item.text);
        painter.drawText(QRect(x, top, textWidth + 1, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, item.text);
        x += textWidth + kItemSpacing;
    }
}
