#pragma once

#include "model/WallpaperModel.h"

#include <QPointer>
#include <QWidget>

class BrowseContext;
class LazyGridView;
class SectionTitleComponent;

// A long, growing grid of poster cards under a page-block heading. It loads nothing itself: each
// time one of the last nine cards comes into view it asks its owner for more (loadMore), and
// while the owner says a page is coming it shows a spinner with "Loading wallpapers..." below
// the grid. The owner ignores asks it cannot serve. GUI thread.
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
    QPointer<BrowseContext> context_;
    QList<WallpaperModel> wallpapers_;
    SectionTitleComponent* heading_;
    LazyGridView* grid_;
    QWidget* loading_;
};
