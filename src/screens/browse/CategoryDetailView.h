#pragma once

#include "screens/browse/CategoryDetailController.h"
#include "ui/AppearanceAware.h"

#include <QList>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <functional>

class BackButton;
class BrowseContext;
class FilterChip;
class HeroBackdrop;
class LazyGridView;
class LoadingWallpapersRow;
class QScrollArea;
class QSpacerItem;
class ScreenMessageView;

// The category page pushed by a category card, a section title, a resolution or the lock-screen
// exclusives chip: a scrolling column of the title (or, for the lock-screen exclusives, a video
// hero), the sort chips, a lazy three-column grid of poster cards (loading cards while the
// first page is on its way, a word when it failed or holds nothing) and the loading-more row,
// with the back button floating at the top-leading corner and the toast over it. A card click opens the wallpaper through the browse
// context (the window pushes the full-screen view); the page's cards and hero video pause while
// one is open. GUI thread; owned by the window's navigation host.
class CategoryDetailView : public QWidget, public AppearanceAware {
    Q_OBJECT

public:
    static constexpr int kMinimumHeight = 650;
    static constexpr int kPlaceholderCount = 12;
    static constexpr int kBackButtonLeading = 50;
    static constexpr int kBackButtonTop = 20;

    // What the page asks of its host; analytics go to the shared sender unless one is given.
    struct Hooks {
        std::function<void()> dismiss;
        CategoryDetailController::SignalSender sendSignal;
    };

    // The shared explore-wallpapers service and application state. `context` is the tab's.
    CategoryDetailView(const CategoryNavigationItem& item, BrowseContext* context, Hooks hooks, QWidget* parent = nullptr);

    CategoryDetailController* controller() const { return controller_; }
    BrowseContext* context() const { return context_; }
    LazyGridView* grid() const { return grid_; }
    QScrollArea* scrollArea() const { return scroll_; }
    BackButton* backButton() const { return back_; }
    LoadingWallpapersRow* loadingMoreRow() const { return loadingMore_; }
    HeroBackdrop* hero() const { return hero_; }
    // Shown in place of the grid when the list failed to load (with a retry) or holds nothing.
    ScreenMessageView* message() const { return message_; }
    FilterChip* chip(CategoryFilter filter) const;
    // Whether the grid shows loading cards rather than wallpapers.
    bool showsPlaceholders() const { return showingPlaceholders_; }

    // Hero height: 0.45 of the page height (the window's, or its fallback).
    int heroHeight() const;
    // The first showing after the push runs the page's opening steps; a later one (back from the
    // full-screen view) does not. Escape dismisses the page while it is on screen.
    void appeared() override;
    void disappeared() override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* buildColumn();
    QWidget* buildHero();
    void showGrid();
    void showMessage();
    void followSelection();
    void followWindowSize();

    CategoryDetailController* controller_;
    BrowseContext* context_;
    Hooks hooks_;
    QScrollArea* scroll_;
    HeroBackdrop* hero_ = nullptr;
    QSpacerItem* heroSpacer_ = nullptr;
    LazyGridView* grid_ = nullptr;
    LoadingWallpapersRow* loadingMore_ = nullptr;
    ScreenMessageView* message_ = nullptr;
    QList<FilterChip*> chips_;
    BackButton* back_;
    QList<QUuid> placeholderKeys_;
    bool showingPlaceholders_ = false;
    bool opened_ = false;
};
