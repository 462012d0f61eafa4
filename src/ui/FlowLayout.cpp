#include "ui/FlowLayout.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

int FlowLayout::availableWidth(double proposed)
{
    if (!std::isfinite(proposed) || proposed <= 0)
        return 0;
    return int(std::min<double>(std::floor(proposed), std::numeric_limits<int>::max()));
}

FlowLayout::Arrangement FlowLayout::arrange(const QList<QSize>& sizes, int width, int spacing)
{
    Arrangement arrangement;
    arrangement.frames.reserve(sizes.size());
    int x = 0;
    int y = 0;
    int rowHeight = 0;
    int widest = 0;
    for (const QSize& given : sizes) {
        const QSize size = given.expandedTo(QSize(0, 0)); // an invalid size takes no room
        // Strictly past the edge: an item ending exactly on it stays on the row.
        if (x > 0 && x + size.width() > width) {
            y += rowHeight + spacing;
            x = 0;
            rowHeight = 0;
        }
        arrangement.frames.append(QRect(QPoint(x, y), size));
        x += size.width() + spacing;
        widest = std::max(widest, x - spacing);
        rowHeight = std::max(rowHeight, size.height());
    }
    arrangement.size = QSize(widest, y + rowHeight);
    return arrangement;
}

FlowLayout::FlowLayout(int spacing, QWidget* parent) : QLayout(parent)
{
    setSpacing(spacing);
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem* item) { items_.append(item); }
int FlowLayout::count() const { return int(items_.size()); }
QLayoutItem* FlowLayout::itemAt(int index) const { return index >= 0 && index < items_.size() ? items_[index] : nullptr; }
QLayoutItem* FlowLayout::takeAt(int index) { return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr; }

// Hidden widgets take no place and no spacing.
QList<QLayoutItem*> FlowLayout::shownItems() const
{
    QList<QLayoutItem*> shown;
    for (QLayoutItem* item : items_)
        if (!item->isEmpty())
            shown.append(item);
    return shown;
}

QList<QSize> FlowLayout::itemSizes() const
{
    QList<QSize> sizes;
    for (const QLayoutItem* item : shownItems())
        sizes.append(item->sizeHint());
    return sizes;
}

QSize FlowLayout::arrangedSize(int width) const
{
    const QMargins margins = contentsMargins();
    const int inner = availableWidth(width - margins.left() - margins.right());
    return arrange(itemSizes(), inner, spacing()).size.grownBy(margins);
}

QSize FlowLayout::sizeHint() const { return arrangedSize(kUnspecifiedWidth); }

// Narrower than its widest item the layout cannot become: that item would overrun.
QSize FlowLayout::minimumSize() const
{
    int widest = 0;
    for (const QSize& size : itemSizes())
        widest = std::max(widest, size.width());
    const QMargins margins = contentsMargins();
    return QSize(widest + margins.left() + margins.right(), margins.top() + margins.bottom());
}

Qt::Orientations FlowLayout::expandingDirections() const { return {}; }

int FlowLayout::heightForWidth(int width) const { return arrangedSize(width).height(); }

void FlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const QRect inner = rect.marginsRemoved(contentsMargins());
    const QList<QLayoutItem*> shown = shownItems();
    const Arrangement arrangement = arrange(itemSizes(), availableWidth(inner.width()), spacing());
    for (qsizetype i = 0; i < shown.size(); ++i)
        shown[i]->setGeometry(arrangement.frames[i].translated(inner.topLeft()));
}
