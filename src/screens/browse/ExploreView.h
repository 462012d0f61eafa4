#pragma once

#include "backend/WallpaperResponseItem.h"
#include "model/WallpaperModel.h"
#include "screens/browse/CategoryNavigationItem.h"
#include "state/ExplorePageSection.h"

#include <QCoro/QCoroTask>
#include <QHash>
#include <QList>
#include <QWidget>

#include <functional>

class APIService;
class AppStore;
class BrowseContext;
class CategoriesSection;
class ExploreFilterChips;
class ExploreHero;
class ExplorePageService;
class ExploreWallpapersService;
class HomeGridSection;
class LoadingWallpapersRow;
class PopularScrollableSection;
class QScrollArea;
class QVBoxLayout;

// The page of the Explore tab, one tall column in a scroll area of its own: the hero, the chip
// rows, the catalogue's explore rows as grids (their titles open the full lists), the category
// cards, and the most popular wallpapers, paged by the page itself 15 at a time. Every chip and title opens a
// category page through the owner. The rows come from the shared explore-page service and are
// loaded the first time the page shows. GUI thread.
class ExploreView : public QWidget {
    Q_OBJECT

public:
    static inline const QString kPopularTitle = QStringLiteral("Most Popular Wallpapers");
    static constexpr qint64 kPopularPageSize = 15;
    using OpenCategory = std::function<void(const CategoryNavigationItem& item)>;

    ExploreView(BrowseContext* context, OpenCategory openCategory, QWidget* parent = nullptr);

    QScrollArea* scrollArea() const { return scroll_; }
    ExploreHero* hero() const { return hero_; }
    ExploreFilterChips* chips() const { return chips_; }
    QList<HomeGridSection*> sectionGrids() const { return grids_; }
    CategoriesSection* categoriesSection() const { return categories_; }
    // Null while the popular list is empty.
    PopularScrollableSection* popularSection() const { return popular_; }
    LoadingWallpapersRow* loadingBlock() const { return loading_; }
    bool isLoadingInitial() const { return isLoadingInitial_; }
    const QList<WallpaperResponseItem>& popularWallpapers() const { return popularWallpapers_; }
    bool hasMorePopularPages() const { return hasMorePopularPages_; }
    bool isLoadingMorePopular() const { return isLoadingMorePopular_; }

    // A section's title was clicked: hands its rows to its full list and opens it (titles that
    // name no full list do nothing).
    void openSection(const ExplorePageSection& section);
    void loadMorePopular();

    // The gap between the page's blocks for a screen's available height (none: 60).
    static int sectionSpacing(std::optional<int> availableHeight);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QCoro::Task<> loadPage();
    QCoro::Task<> fetchPopularPage(qint64 page);
    void seedPopularFromSections();
    void rebuildSections();
    void showPopular();
    void followLoading();
    void open(const CategoryNavigationItem& item);
    QList<WallpaperModel> wallpaperModels(const QList<WallpaperResponseItem>& items);

    BrowseContext* context_;
    OpenCategory openCategory_;
    AppStore& appStore_;
    ExplorePageService& service_;
    ExploreWallpapersService& lists_;
    APIService& api_;

    QScrollArea* scroll_;
    ExploreHero* hero_;
    ExploreFilterChips* chips_;
    LoadingWallpapersRow* loading_;
    QWidget* sections_;
    QVBoxLayout* sectionsLayout_;
    QList<HomeGridSection*> grids_;
    CategoriesSection* categories_;
    PopularScrollableSection* popular_ = nullptr;

    bool isLoadingInitial_ = false;
    QList<WallpaperResponseItem> popularWallpapers_;
    bool isLoadingMorePopular_ = false;
    qint64 popularCurrentPage_ = 1;
    bool hasMorePopularPages_ = true;
    // A category page was opened from here: coming back clears the resolution chip.
    bool categoryOpen_ = false;
    // Each wallpaper keeps one card identity, so grids keep their cards when rows are rebuilt.
    QHash<qint64, QUuid> idOfKey_;
};
