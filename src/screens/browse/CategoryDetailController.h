#pragma once

#include "model/WallpaperModel.h"
#include "screens/browse/CategoryNavigationItem.h"
#include "state/ExploreWallpapersCacheData.h"
#include "state/WallpaperListQuery.h"

#include <QCoro/QCoroTask>
#include <QHash>
#include <QList>
#include <QObject>

#include <functional>
#include <optional>

class AppStore;
class ExploreWallpapersService;

// What a category page knows and does, without drawing anything: which list of the shared
// explore-wallpapers service it shows and with which arguments, the cards it shows (converted
// once per change of the list, the order or the asset host), its sort chips, the first load,
// paging, and the steps run when the page is opened. The lists themselves stay in the service
// and outlive the page. GUI thread; owned by the page.
class CategoryDetailController : public QObject {
    Q_OBJECT

public:
    using SignalSender = std::function<void(const QString& name, const QHash<QString, QString>& parameters)>;

    CategoryDetailController(CategoryNavigationItem item, ExploreWallpapersService& service, AppStore& appStore,
        SignalSender sendSignal, QObject* parent = nullptr);

    const CategoryNavigationItem& item() const { return item_; }
    bool isLockScreen() const { return item_.categoryId == CategoryNavigationItem::kLockScreenExclusives; }
    bool isFromSection() const { return item_.isFromSection.value_or(false); }
    // Sort chips exist for plain categories and the lock-screen list only.
    bool showsChips() const;
    // "RESOLUTION", "LOCKSCREEN", "SECTION" or "CATEGORY".
    QString caption() const;

    // The order arguments of the list, as the service takes them.
    std::optional<QString> apiMode() const;
    std::optional<QString> apiSortBy() const;
    WallpaperListQuery query() const;
    // The service's entry for the list, or an empty, unloaded one.
    ExploreWallpapersCacheData currentCacheData() const;

    CategoryFilter selectedFilter() const { return selectedFilter_; }
    const QList<WallpaperModel>& wallpapers() const { return cachedSortedWallpapers_; }
    bool isLoadingInitial() const { return isLoadingInitial_; }
    bool isLoadInProgress() const { return isLoadInProgress_; }
    bool isLoadingMorePages() const { return isLoadingMorePages_; }
    // The grid shows loading cards: the first page of a list never loaded is on its way.
    bool showsPlaceholders() const { return isLoadingInitial_ && !currentCacheData().isLoaded; }
    // Why the last first-page load failed, until the next one starts; none after a success.
    const std::optional<QString>& loadFailure() const { return loadFailure_; }

    // The steps of the page being opened (pushed), once per visit: the random list of a plain
    // category starts afresh, a held list shows at once, anything else is loaded; then the
    // analytics signals. Does nothing while the load it started earlier still runs.
    void pageOpened();
    void selectFilter(CategoryFilter filter);
    // Loads the first page again after a failure; does nothing while a load runs.
    void retry();
    // The card at `index` came into view: from the third-last card on the next page is asked for.
    void loadMoreIfNeeded(int index);

    // Newest first by creation date; texts that are no date go last, keeping their order.
    static void sortNewestFirst(QList<WallpaperModel>& wallpapers);

Q_SIGNALS:
    void wallpapersChanged();
    void selectedFilterChanged();
    // Any of the three loading flags changed.
    void loadingChanged();
    void loadFailureChanged();

private:
    QCoro::Task<> loadInitialWallpapers();
    QCoro::Task<> loadNextPage();
    void updateSortedCacheIfNeeded();
    void syncLoadingMoreState();
    void resetRandomList();
    void setLoadingInitial(bool loading);
    void setLoadInProgress(bool inProgress);
    void setLoadingMorePages(bool loading);
    void setLoadFailure(std::optional<QString> failure);
    void startFirstLoad();
    std::optional<QString> categoryNameFor(qint64 itemCategoryId) const;

    const CategoryNavigationItem item_;
    ExploreWallpapersService& service_;
    AppStore& appStore_;
    SignalSender sendSignal_;

    CategoryFilter selectedFilter_;
    QList<WallpaperModel> cachedSortedWallpapers_;
    qsizetype lastCacheCount_ = 0;
    std::optional<CategoryFilter> lastSelectedFilter_;
    std::optional<QString> lastMappedBaseUrl_;
    // Each wallpaper keeps its card identity across rebuilds of the list, so cards already on
    // screen survive a new page.
    QHash<qint64, QUuid> idOfKey_;
    bool isLoadingInitial_ = false;
    bool isLoadInProgress_ = false;
    bool isLoadingMorePages_ = false;
    std::optional<QString> loadFailure_;
    // The first page is being fetched by another page's request of the same list.
    bool awaitingOtherFirstPage_ = false;
};
