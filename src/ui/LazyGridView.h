#pragma once

#include "foundation/UuidKey.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <functional>

class QAbstractScrollArea;

// The one lazy grid of the catalogue: a vertical grid of columns that fills its width, or a
// horizontal row of fixed-size cells, placed inside any scroll area (or several nested ones).
// A cell widget exists only while it lies in the visible part of the grid or within a margin of
// lines around it; it is made by the cell factory for one key (a wallpaper's id) and is never
// handed another key, so a cell never shows state of another wallpaper. Cells that are
// AppearanceAware hear appeared() when they come into view and disappeared() when they leave it,
// are taken off screen with the grid, or are removed. GUI thread only.
class LazyGridView : public QWidget {
    Q_OBJECT
public:
    enum class Orientation { Vertical, Horizontal };
    // Makes the cell for the key at `index`; the grid takes ownership.
    using CellFactory = std::function<QWidget*(int index)>;
    // Hands a live cell the current record of its key, now at `index`.
    using CellUpdater = std::function<void(QWidget* cell, int index)>;

    explicit LazyGridView(Orientation orientation = Orientation::Vertical, QWidget* parent = nullptr);
    ~LazyGridView() override;

    void setCellFactory(CellFactory factory);
    // Without one, a kept cell goes on showing the record it was made with.
    void setCellUpdater(CellUpdater updater);
    // The cells in order. Cells of keys that remain keep their widget (at their new place) and
    // hear the updater, since the record behind a key may have changed (counts, asset host);
    // cells of keys that went are removed.
    void setKeys(const QList<QUuid>& keys);
    const QList<QUuid>& keys() const { return keys_; }

    // Vertical: the number of equal columns that share the width, and the height of a cell as a
    // fraction of its width (9/16 for posters).
    void setColumns(int columns);
    void setCellAspectRatio(double heightPerWidth);
    // Horizontal: every cell has this size.
    void setCellSize(QSize size);
    void setSpacing(int betweenColumns, int betweenRows);
    // Lines (rows, or columns of a horizontal row) kept alive beyond the visible ones on each side.
    void setMarginLines(int lines);

    // The place of a cell, in the grid's coordinates; empty for an index out of range.
    QRect cellRect(int index) const;
    // The live cell of `key`, or null when it is not near the visible part.
    QWidget* cellForKey(const QUuid& key) const;
    int liveCellCount() const { return int(cells_.size()); }
    // Scrolls the enclosing scroll areas just enough to show the cell at `index`.
    void ensureIndexVisible(int index);

    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // The cell at `index` came into view (every time it does): where more items are asked for.
    void cellAppeared(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Cell {
        QPointer<QWidget> widget;
        bool inView = false;
        // Its key's place in the keys; -1 once the key went.
        int index = -1;
    };

    int lineCount() const;
    int perLine() const;
    QSize cellSizeFor(int width) const;
    QRect visibleRect() const;
    void watchScrollAreas();
    void updateCells();
    // Gives each live cell its key's place in `keys`, which are to replace the current ones.
    void placeCells(const QList<QUuid>& keys);
    void setInView(Cell& cell, bool inView);
    void removeCell(const QUuid& key);

    const Orientation orientation_;
    CellFactory factory_;
    CellUpdater updater_;
    QList<QUuid> keys_;
    QHash<UuidKey, Cell> cells_;
    int columns_ = 3;
    double aspect_ = 9.0 / 16.0;
    QSize cellSize_{320, 180};
    int columnSpacing_ = 24;
    int rowSpacing_ = 24;
    int marginLines_ = 1;
    QList<QPointer<QAbstractScrollArea>> watched_;
    bool updating_ = false;
    bool pending_ = false;
};
