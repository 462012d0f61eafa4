#pragma once

#include "model/WallpaperModel.h"
#include "ui/AnimatedValue.h"

#include <QPointer>
#include <QWidget>

class BrowseContext;
class LazyGridView;
class QScrollArea;
class SectionTitleComponent;
class SymbolButton;

// One titled row of poster cards that scrolls sideways, three cards across, with two chevrons
// beside the heading that page it two cards at a time. The row reaches `bleed` past the
// section's content edges on both sides (at rest the first card lines up with the heading), and
// its height follows the width it is given, so cards keep their 37:21 frames at any window size.
// The chevrons page from where the row is: after a scroll by hand they go on from the cards then
// in view. Cards may carry their rank. GUI thread.
class HomeCarouselSection : public QWidget {
    Q_OBJECT

public:
    static constexpr int kBleed = 50;
    static constexpr int kHeadingSpacing = 30;
    static constexpr int kScrollMs = 250;

    HomeCarouselSection(const QString& title, const QString& subtitle, bool clickableTitle, bool showRank,
        int cardSpacing, BrowseContext* context, QWidget* parent = nullptr);

    void setWallpapers(const QList<WallpaperModel>& wallpapers);
    const QList<WallpaperModel>& wallpapers() const { return wallpapers_; }

    // The card the chevrons last paged to (the start counts as 0).
    int scrollTargetIndex() const { return target_; }
    SymbolButton* leftChevron() const { return left_; }
    SymbolButton* rightChevron() const { return right_; }
    SectionTitleComponent* heading() const { return heading_; }
    LazyGridView* row() const { return grid_; }
    QScrollArea* scrollArea() const { return scroll_; }

    // The card row's height for a section `width` wide.
    int rowHeightFor(int width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

public Q_SLOTS:
    void pageLeft();
    void pageRight();

Q_SIGNALS:
    void titleClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int cardWidthFor(int width) const;
    int offsetFor(int index) const;
    // The card at (or just past) the row's leading edge.
    int leadingIndex(bool roundUp) const;
    void scrollTo(int index);
    void updateChevrons();

    QList<WallpaperModel> wallpapers_;
    const bool showRank_;
    const int cardSpacing_;
    QPointer<BrowseContext> context_;
    SectionTitleComponent* heading_;
    SymbolButton* left_;
    SymbolButton* right_;
    QScrollArea* scroll_;
    QWidget* strip_;
    LazyGridView* grid_;
    AnimatedValue scrollValue_;
    bool scrolling_ = false;
    bool scrolledByHand_ = false;
    int target_ = 0;
};
