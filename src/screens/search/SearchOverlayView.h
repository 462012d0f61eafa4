#pragma once

#include "model/WallpaperModel.h"

#include <QPointer>
#include <QWidget>

class APIService;
class AppStore;
class BrowseContext;
class DebouncedSearch;
class LazyGridView;
class QScrollArea;
class QSpacerItem;
class SearchOverlaySearchBox;
class SearchOverlayService;
class ScreenMessageView;

// The search overlay: the window dimmed, the search box held at the top, and the results in a
// three-column grid of poster cards that scrolls underneath it, or, on a panel under the box, a
// word when a search found nothing or failed (with a retry). Edits of the query run the
// debounced search; a card opens its wallpaper full screen and leaves the overlay open. A click
// anywhere but on the box or a card hides the overlay and keeps the query for the next opening;
// Escape hides it and drops the query. The results scroll on the window's own thin bar, and with
// none there is nothing to scroll. Made afresh each time the overlay opens; the query lives in
// the service. GUI thread.
class SearchOverlayView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSearchBarTopPadding = 72;
    static constexpr int kChromeSideMargin = 52;
    static constexpr int kSearchToGridSpacing = 40;
    static constexpr int kInitialTopInset = 196;
    static constexpr int kMinimumResultsHeight = 320;
    static constexpr int kGridSideMargin = 50;
    static constexpr int kGridBottomMargin = 40;
    // The message stands under the box as the chips stand under the bar.
    static constexpr int kMessageGap = 10;

    SearchOverlayView(SearchOverlayService& service, BrowseContext* context, APIService& api, AppStore& store,
        QWidget* parent = nullptr);
    ~SearchOverlayView() override;

    // Asks the service to hide the overlay.
    void dismiss();
    // Escape: the query is left behind with the overlay.
    void cancel();
    // The overlay is being hidden: ends the search and empties the results.
    void closeOverlay();
    void selectResult(const WallpaperModel& wallpaper);

    // Where the results begin below the overlay's top: the chrome's height plus the gap.
    int scrollContentTopInset() const { return topInset_; }
    // Reports the height of the search chrome (the 72 above the box included); 0 changes nothing.
    void updateChromeInset(int chromeHeight);
    // The height the results area takes at least: what is left below the inset, 320 or more
    // while there are results; without any, only what is left, so nothing scrolls.
    int availableResultsHeight() const;

    SearchOverlaySearchBox* searchBox() const { return box_; }
    DebouncedSearch& search() const { return *search_; }
    LazyGridView* grid() const { return grid_; }
    // Says that the search found nothing or failed, on a panel of the search's own under the box
    // and as wide; hidden otherwise.
    ScreenMessageView* message() const { return message_; }
    QScrollArea* scrollArea() const { return scroll_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* createResults();
    QWidget* createMessagePanel();
    void layoutChrome();
    void applyInset();
    void showResults();
    void showOutcome();

    SearchOverlayService& service_;
    QPointer<BrowseContext> context_;
    DebouncedSearch* search_;
    QScrollArea* scroll_;
    QWidget* content_ = nullptr;
    QSpacerItem* topSpacer_ = nullptr;
    LazyGridView* grid_ = nullptr;
    QWidget* messagePanel_ = nullptr;
    ScreenMessageView* message_ = nullptr;
    SearchOverlaySearchBox* box_;
    int topInset_ = kInitialTopInset;
    int focusToken_ = -1;
};
