#pragma once

#include "state/ExploreWallpapersCacheData.h"
#include "state/PopularSort.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <optional>

// The same state as a paged list of the explore lists.
using PopularWallpapersCacheData = ExploreWallpapersCacheData;

// The store of the popular lists, one per sort, with the paged lists' page size and
// bookkeeping. Nothing fills it yet (the home screen fetches its popular row itself); the memory
// clearing empties it. GUI thread; one shared instance kept until exit.
class PopularWallpapersService : public QObject {
    Q_OBJECT
    Q_PROPERTY(PopularWallpapersService::Lists cacheData READ cacheData NOTIFY cacheDataChanged)
    Q_PROPERTY(std::optional<PopularSort> selectedSort READ selectedSort WRITE setSelectedSort
                   NOTIFY selectedSortChanged)

public:
    using Lists = QHash<QString, PopularWallpapersCacheData>;
    using PageMarks = QHash<QString, qint64>;

    static constexpr qint64 kItemsPerPage = 20;

    explicit PopularWallpapersService(QObject* parent = nullptr) : QObject(parent) {}

    static PopularWallpapersService& shared();

    const Lists& cacheData() const { return cacheData_; }
    // Not published: in-flight page numbers by list key.
    const PageMarks& loadingPages() const { return loadingPages_; }
    const std::optional<PopularSort>& selectedSort() const { return selectedSort_; }
    void setSelectedSort(std::optional<PopularSort> sort);

    // The memory clearing: empties the lists and the in-flight marks; the sort stays.
    void clearMemory();

Q_SIGNALS:
    void cacheDataChanged();
    void selectedSortChanged();

private:
    Lists cacheData_;
    PageMarks loadingPages_;
    std::optional<PopularSort> selectedSort_;
};
