#include "ui/LazyGridView.h"

#include "foundation/ListStep.h"
#include "ui/AppearanceAware.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

LazyGridView::LazyGridView(Orientation orientation, QWidget* parent) : QWidget(parent), orientation_(orientation)
{
    QSizePolicy policy = orientation_ == Orientation::Vertical
        ? QSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum)
        : QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    policy.setHeightForWidth(orientation_ == Orientation::Vertical);
    setSizePolicy(policy);
}

LazyGridView::~LazyGridView()
{
    for (auto it = cells_.begin(); it != cells_.end(); ++it)
        setInView(it.value(), false);
}

void LazyGridView::setCellFactory(CellFactory factory)
{
    factory_ = std::move(factory);
}

void LazyGridView::setCellUpdater(CellUpdater updater) { updater_ = std::move(updater); }

void LazyGridView::setKeys(const QList<QUuid>& keys)
{
    placeCells(keys);
    keys_ = keys;
    if (updater_) {
        for (auto it = cells_.cbegin(); it != cells_.cend(); ++it)
            if (it->widget && it->index >= 0)
                updater_(it->widget, it->index);
    }
    updateGeometry();
    updateCells();
}

void LazyGridView::placeCells(const QList<QUuid>& keys)
{
    // One key put in or taken out of a long list (a like, an unlike): the cells after it move by
    // one place, and the long list is not read again. A repeated key's cell stands at its last place.
    if (const std::optional<ListStep> step = ListStep::between(keys_, keys)) {
        const int at = int(step->index);
        const UuidKey changed = step->inserted ? keys.at(at) : keys_.at(at);
        for (Cell& cell : cells_) {
            if (step->inserted && cell.index >= at)
                ++cell.index;
            else if (!step->inserted && cell.index == at)
                cell.index = -1;
            else if (!step->inserted && cell.index > at)
                --cell.index;
        }
        if (const auto cell = cells_.find(changed); step->inserted && cell != cells_.end())
            cell->index = std::max(cell->index, at);
        return;
    }
    for (Cell& cell : cells_)
        cell.index = -1;
    if (cells_.isEmpty())
        return;
    for (int index = 0; index < keys.size(); ++index)
        if (const auto cell = cells_.find(keys.at(index)); cell != cells_.end())
            cell->index = index;
}

void LazyGridView::setColumns(int columns)
{
    columns_ = std::max(1, columns);
    updateGeometry();
    updateCells();
}

void LazyGridView::setCellAspectRatio(double heightPerWidth)
{
    aspect_ = heightPerWidth > 0 ? heightPerWidth : 9.0 / 16.0;
    updateGeometry();
    updateCells();
}

void LazyGridView::setCellSize(QSize size)
{
    cellSize_ = size.expandedTo(QSize(1, 1));
    updateGeometry();
    updateCells();
}

void LazyGridView::setSpacing(int betweenColumns, int betweenRows)
{
    columnSpacing_ = std::max(0, betweenColumns);
    rowSpacing_ = std::max(0, betweenRows);
    updateGeometry();
    updateCells();
}

void LazyGridView::setMarginLines(int lines)
{
    marginLines_ = std::max(0, lines);
    updateCells();
}

int LazyGridView::perLine() const
{
    return orientation_ == Orientation::Vertical ? columns_ : 1;
}

int LazyGridView::lineCount() const
{
    return int((keys_.size() + perLine() - 1) / perLine());
}

QSize LazyGridView::cellSizeFor(int width) const
{
    if (orientation_ == Orientation::Horizontal)
        return cellSize_;
    const double column = std::max(0.0, double(width - (columns_ - 1) * columnSpacing_) / columns_);
    return QSize(int(column), int(std::lround(column * aspect_)));
}

QRect LazyGridView::cellRect(int index) const
{
    if (index < 0 || index >= keys_.size())
        return {};
    if (orientation_ == Orientation::Horizontal)
        return QRect(QPoint(index * (cellSize_.width() + columnSpacing_), 0), cellSize_);
    // Columns share the width exactly: each edge is rounded once, so no pixel is lost or doubled.
    const double column = double(width() - (columns_ - 1) * columnSpacing_) / columns_;
    const int col = index % columns_;
    const int left = int(std::lround(col * (column + columnSpacing_)));
    const int right = int(std::lround(col * (column + columnSpacing_) + column));
    const int height = cellSizeFor(width()).height();
    return QRect(left, (index / columns_) * (height + rowSpacing_), std::max(0, right - left), height);
}

QWidget* LazyGridView::cellForKey(const QUuid& key) const
{
    const auto it = cells_.constFind(key);
    return it == cells_.cend() ? nullptr : it->widget.data();
}

bool LazyGridView::hasHeightForWidth() const
{
    return orientation_ == Orientation::Vertical;
}

int LazyGridView::heightForWidth(int width) const
{
    const int lines = lineCount();
    if (orientation_ == Orientation::Horizontal)
        return lines > 0 ? cellSize_.height() : 0;
    return lines > 0 ? lines * cellSizeFor(width).height() + (lines - 1) * rowSpacing_ : 0;
}

QSize LazyGridView::sizeHint() const
{
    if (orientation_ == Orientation::Vertical) {
        const int width = this->width() > 0 ? this->width() : 600;
        return QSize(width, heightForWidth(width));
    }
    const int lines = lineCount();
    return QSize(lines > 0 ? lines * cellSize_.width() + (lines - 1) * columnSpacing_ : 0, heightForWidth(0));
}

QSize LazyGridView::minimumSizeHint() const
{
    return orientation_ == Orientation::Vertical ? QSize(0, heightForWidth(width())) : sizeHint();
}

QRect LazyGridView::visibleRect() const
{
    // Own rectangle clipped by every ancestor up to the window: what scroll areas let through.
    QRect seen = rect();
    QPoint offset;
    for (const QWidget* widget = this; !widget->isWindow() && widget->parentWidget(); widget = widget->parentWidget()) {
        offset += widget->pos();
        seen = seen.translated(widget->pos()) & widget->parentWidget()->rect();
    }
    return seen.translated(-offset);
}

void LazyGridView::ensureIndexVisible(int index)
{
    const QRect target = cellRect(index);
    if (target.isEmpty())
        return;
    for (QWidget* ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        auto* area = qobject_cast<QScrollArea*>(ancestor);
        if (!area || !area->widget() || !area->widget()->isAncestorOf(this))
            continue;
        const QPoint centre = mapTo(area->widget(), target.center());
        area->ensureVisible(centre.x(), centre.y(), target.width() / 2 + 1, target.height() / 2 + 1);
    }
    updateCells();
}

void LazyGridView::watchScrollAreas()
{
    for (const QPointer<QAbstractScrollArea>& area : std::as_const(watched_)) {
        if (!area)
            continue;
        area->horizontalScrollBar()->disconnect(this);
        area->verticalScrollBar()->disconnect(this);
        area->viewport()->removeEventFilter(this);
    }
    watched_.clear();
    for (QWidget* ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        auto* area = qobject_cast<QAbstractScrollArea*>(ancestor);
        if (!area)
            continue;
        // Queued would let a frame paint with cells missing: the grid follows the scroll at once.
        connect(area->horizontalScrollBar(), &QScrollBar::valueChanged, this, &LazyGridView::updateCells);
        connect(area->verticalScrollBar(), &QScrollBar::valueChanged, this, &LazyGridView::updateCells);
        area->viewport()->installEventFilter(this);
        watched_.append(area);
    }
}

void LazyGridView::resizeEvent(QResizeEvent*)
{
    updateCells();
}

void LazyGridView::showEvent(QShowEvent*)
{
    watchScrollAreas();
    updateCells();
}

void LazyGridView::hideEvent(QHideEvent*)
{
    for (auto it = cells_.begin(); it != cells_.end(); ++it)
        setInView(it.value(), false);
}

bool LazyGridView::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange)
        watchScrollAreas();
    else if (event->type() == QEvent::Move)
        updateCells();
    return QWidget::event(event);
}

bool LazyGridView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize)
        updateCells();
    return QWidget::eventFilter(watched, event);
}

void LazyGridView::setInView(Cell& cell, bool inView)
{
    if (cell.inView == inView)
        return;
    cell.inView = inView;
    AppearanceAware::tell(cell.widget, inView);
}

void LazyGridView::removeCell(const QUuid& key)
{
    Cell cell = cells_.take(key);
    setInView(cell, false);
    if (cell.widget) {
        // Later: the cell may be the one whose click led here.
        cell.widget->hide();
        cell.widget->deleteLater();
    }
}

void LazyGridView::updateCells()
{
    // A factory or a cell that changes the keys meanwhile gets a fresh pass afterwards.
    if (updating_) {
        pending_ = true;
        return;
    }
    updating_ = true;
    pending_ = false;
    const QRect seen = isVisible() ? visibleRect() : QRect();

    // The lines that are seen, widened by the margin; none when the grid is off screen.
    int first = 0;
    int last = -1;
    if (!seen.isEmpty() && !keys_.isEmpty()) {
        const bool vertical = orientation_ == Orientation::Vertical;
        const int pitch = vertical ? cellSizeFor(width()).height() + rowSpacing_ : cellSize_.width() + columnSpacing_;
        const int start = vertical ? seen.top() : seen.left();
        const int end = vertical ? seen.bottom() : seen.right();
        const int firstLine = std::max(0, start / std::max(1, pitch) - marginLines_);
        const int lastLine = std::min(lineCount() - 1, end / std::max(1, pitch) + marginLines_);
        first = firstLine * perLine();
        last = std::min(int(keys_.size()) - 1, (lastLine + 1) * perLine() - 1);
    }

    // A hidden grid keeps the cells of its keys for when it comes back; a visible one keeps only
    // those near view.
    const QList<UuidKey> live = cells_.keys();
    for (const UuidKey& key : live) {
        const int index = cells_.value(key).index;
        if (index < 0 || (isVisible() && (index < first || index > last)))
            removeCell(key.id);
    }

    QList<int> appearing;
    for (int index = first; index <= last && index < keys_.size(); ++index) {
        const QUuid key = keys_[index];
        auto it = cells_.find(key);
        if (it == cells_.end() || !it->widget) {
            QWidget* widget = factory_ ? factory_(index) : nullptr;
            if (!widget)
                continue;
            widget->setParent(this);
            it = cells_.insert(key, Cell{widget, false, index});
        }
        it->index = index;
        const QRect place = cellRect(index);
        if (it->widget->geometry() != place)
            it->widget->setGeometry(place);
        if (!it->widget->isVisible())
            it->widget->show();
        if (!it->inView && place.intersects(seen))
            appearing.append(index);
    }
    for (auto it = cells_.begin(); it != cells_.end(); ++it) {
        if (it->inView && !cellRect(it->index).intersects(seen))
            setInView(it.value(), false);
    }
    updating_ = false;
    if (pending_) {
        updateCells();
        return;
    }

    // Last, since a cell or a listener may change the keys: each step looks its cell up again.
    for (int index : std::as_const(appearing)) {
        if (index >= keys_.size())
            break;
        auto it = cells_.find(keys_[index]);
        if (it == cells_.end() || it->inView)
            continue;
        setInView(it.value(), true);
        Q_EMIT cellAppeared(index);
    }
}
