#pragma once

#include "model/WallpaperModel.h"

#include <QList>
#include <QWidget>

class BrowseContext;
class LazyGridView;
class SectionTitleComponent;

// A titled grid of poster cards showing a fixed number of rows: the first rows × columns
// wallpapers of its list. A clickable title asks for the section's full list.
class HomeGridSection : public QWidget {
    Q_OBJECT

public:
    HomeGridSection(const QString& title, const QString& subtitle, int rows, int columnsPerRow, bool clickableTitle,
        BrowseContext* context, QWidget* parent = nullptr);

    void setWallpapers(const QList<WallpaperModel>& wallpapers);
    const QList<WallpaperModel>& wallpapers() const { return shown_; }
    SectionTitleComponent* titleComponent() const { return title_; }
    LazyGridView* grid() const { return grid_; }

Q_SIGNALS:
    void titleClicked();

private:
    const int cardCount_;
    BrowseContext* context_;
    SectionTitleComponent* title_;
    LazyGridView* grid_;
    QList<WallpaperModel> shown_;
};
