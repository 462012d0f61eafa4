#pragma once

#include "model/WallpaperModel.h"

#include <QPointer>
#include <QWidget>

class BrowseContext;
class LazyGridView;
class SectionTitleComponent;

// A titled grid of poster cards with a fixed number of rows: the first rows × columns
// wallpapers of the list, each card as wide as its column. GUI thread.
class HomeGridSection : public QWidget {
    Q_OBJECT

public:
    struct Shape {
        int rows = 2;
        int columnsPerRow = 3;
        int cardSpacing = 20;   // between rows
        int columnSpacing = 24; // between columns
    };

    HomeGridSection(const QString& title, const QString& subtitle, bool clickableTitle, const Shape& shape,
        BrowseContext* context, QWidget* parent = nullptr);

    void setWallpapers(const QList<WallpaperModel>& wallpapers);
    // The wallpapers that get a card.
    const QList<WallpaperModel>& shownWallpapers() const { return shown_; }
    SectionTitleComponent* heading() const { return heading_; }
    LazyGridView* grid() const { return grid_; }

Q_SIGNALS:
    void titleClicked();

private:
    const Shape shape_;
    QPointer<BrowseContext> context_;
    SectionTitleComponent* heading_;
    LazyGridView* grid_;
    QList<WallpaperModel> shown_;
};
