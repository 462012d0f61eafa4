#pragma once

#include "model/WallpaperModel.h"

#include <QList>
#include <QWidget>

class BrowseContext;
class LazyGridView;
class LoadingWallpapersRow;

// A titled, growing grid of poster cards that asks its owner for more whenever one of its last
// nine cards comes into view (the owner ignores asks while a page loads or when none is left),
// with the loading row under it while the owner fetches.
class PopularScrollableSection : public QWidget {
    Q_OBJECT

public:
    static constexpr int kLoadMoreWithin = 9;

    PopularScrollableSection(const QString& title, const QString& subtitle, int columns, int cardSpacing,
        int columnSpacing, BrowseContext* context, QWidget* parent = nullptr);

    // Cards of wallpapers already shown keep their widgets.
    void setWallpapers(const QList<WallpaperModel>& wallpapers);
    const QList<WallpaperModel>& wallpapers() const { return wallpapers_; }
    void setLoadingMore(bool loading);
    bool isLoadingMore() const;
    LazyGridView* grid() const { return grid_; }

Q_SIGNALS:
    void loadMore();

private:
    BrowseContext* context_;
    LazyGridView* grid_;
    LoadingWallpapersRow* loading_;
    QList<WallpaperModel> wallpapers_;
};
