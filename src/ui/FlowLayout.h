#pragma once

#include <QLayout>
#include <QList>
#include <QRect>

// Sets its items side by side from the left edge and starts a new row whenever the next item
// would run past the available width, like words in a paragraph. Each item keeps its preferred
// size and hangs from the top of its row; one spacing is used between items and between rows.
// Measuring and placing run the same pass, arrange(), which keeps no state.
class FlowLayout : public QLayout {
    Q_OBJECT

public:
    struct Arrangement {
        QList<QRect> frames; // one per item, in item order
        QSize size;          // the widest row by the bottom of the last row
    };

    // The width to arrange in: whole pixels, rounded down; 0 for anything not finite and positive.
    static int availableWidth(double proposed);
    // The arrangement of items of these sizes in `width` (see availableWidth). An item that
    // starts a row is never wrapped, so an item wider than the width stands alone and overruns.
    static Arrangement arrange(const QList<QSize>& sizes, int width, int spacing);
    // The width assumed when nobody says how wide the layout will be.
    static constexpr int kUnspecifiedWidth = 10;

    explicit FlowLayout(int spacing, QWidget* parent = nullptr);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    void setGeometry(const QRect& rect) override;

private:
    QList<QLayoutItem*> shownItems() const;
    QList<QSize> itemSizes() const;
    QSize arrangedSize(int width) const;

    QList<QLayoutItem*> items_;
};
