#pragma once

#include "backend/WallpaperResponseItem.h"
#include "state/ExploreWallpapersCacheData.h"
#include "state/WallpaperListQuery.h"

#include <QCoro/QCoroTask>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class APIService;
class Clock;

// Every paged wallpaper list a full-list page shows (a category in a chosen order, the list
// behind an explore section, the lock-screen list, a resolution class), kept by list key for the
// rest of the run and extended 20 items at a time. Random lists live apart and are fetched anew
// by each first-page load; the memory clearing empties the others. An in-flight page number per
// key guards against duplicate requests. GUI thread; one shared instance kept until exit.
class ExploreWallpapersService : public QObject {
    Q_OBJECT
    Q_PROPERTY(ExploreWallpapersService::Lists cacheData READ cacheData NOTIFY cacheDataChanged)
    Q_PROPERTY(ExploreWallpapersService::Lists transientRandomData READ transientRandomData
                   NOTIFY transientRandomDataChanged)
    Q_PROPERTY(ExploreWallpapersService::PageMarks loadingPages READ loadingPages NOTIFY loadingPagesChanged)

public:
    using Lists = QHash<QString, ExploreWallpapersCacheData>;
    // The page whose request is in flight, by list key.
    using PageMarks = QHash<QString, qint64>;

    static constexpr qint64 kItemsPerPage = 20;

    // The shared backend client and the system clock (the seed of random lists).
    explicit ExploreWallpapersService(QObject* parent = nullptr);
    ExploreWallpapersService(APIService& api, const Clock& clock, QObject* parent = nullptr);

    static ExploreWallpapersService& shared();

    static QString cacheKey(const WallpaperListQuery& query) { return query.cacheKey(); }

    // Stores rows the caller already holds as a loaded list under id + "_" + mode (or the id
    // alone), so a full-list page shows them at once. Rows of a random mode come with the seed
    // they were fetched with, and the list's later pages are asked with it; without one, paging
    // starts over from the first page of a new order (the rows already held are not repeated).
    void prepopulateCache(qint64 categoryId, QList<WallpaperResponseItem> wallpapers, std::optional<QString> mode,
        std::optional<qint64> seed = std::nullopt);
    // The same for a category-backed row: under id + "_sort_" + sortBy (or the id alone).
    void prepopulateSortedCache(qint64 categoryId, QList<WallpaperResponseItem> wallpapers,
        std::optional<QString> sortBy);

    // Puts the first page of the list in place, unless it is loading or already held (random
    // lists are always fetched anew, with a new seed). Throws the backend client's errors.
    QCoro::Task<> loadWallpapers(WallpaperListQuery query);
    // Appends the next page (only items not yet in the list); loads the first page when the
    // list has none. Throws the backend client's errors.
    QCoro::Task<> loadNextPage(WallpaperListQuery query);
    // False once the list is exhausted or while any of its pages is in flight.
    bool canLoadMore(const WallpaperListQuery& query) const;

    // Appends the items of `page` whose key `list` does not hold yet (nor an earlier item of the
    // page): a paged list that moved between two requests repeats rows, and grids keep one cell
    // per wallpaper.
    static void appendUnseen(QList<WallpaperResponseItem>& list, const QList<WallpaperResponseItem>& page);

    // The list the query names, from the store its order belongs to.
    std::optional<ExploreWallpapersCacheData> list(const WallpaperListQuery& query) const;

    // Puts an empty, unloaded entry in place of the list (in both stores for a random order) and
    // forgets its page in flight, so the next load fetches it afresh (a new shuffle).
    void resetList(const WallpaperListQuery& query);

    // The memory clearing: drops every non-random list and every in-flight mark.
    void clearMemory();

    const Lists& cacheData() const { return cacheData_; }
    const Lists& transientRandomData() const { return transientRandomData_; }
    const PageMarks& loadingPages() const { return loadingPages_; }

Q_SIGNALS:
    void cacheDataChanged();
    void transientRandomDataChanged();
    void loadingPagesChanged();

private:
    void storeHandedOver(const QString& key, qint64 categoryId, QList<WallpaperResponseItem> wallpapers,
        const QString& origin, bool seeded, std::optional<qint64> seed);
    // True (after its line) when a loaded, non-empty list is already held for the query.
    bool usesHeldList(const WallpaperListQuery& query, const QString& key) const;
    QCoro::Task<QList<WallpaperResponseItem>> fetchPage(WallpaperListQuery query, qint64 page,
        std::optional<qint64> seed);
    void mergeNextPage(const WallpaperListQuery& query, const QString& key, qint64 page,
        const QList<WallpaperResponseItem>& items, std::optional<qint64> seed);
    const Lists& storeFor(const WallpaperListQuery& query) const;
    void writeList(const WallpaperListQuery& query, const QString& key, ExploreWallpapersCacheData list);
    void markLoading(const QString& key, qint64 page);
    // Removes the mark only while it is still this request's (the memory clearing or a newer
    // request may have replaced it).
    void clearLoading(const QString& key, qint64 page);

    APIService& api_;
    const Clock& clock_;
    Lists cacheData_;
    Lists transientRandomData_;
    PageMarks loadingPages_;
};
