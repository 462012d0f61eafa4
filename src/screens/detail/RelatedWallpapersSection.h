#pragma once

#include "model/WallpaperModel.h"

#include <QList>
#include <QWidget>

class BrowseContext;
class LazyGridView;
class QLabel;
class QStackedWidget;

// "Similar Wallpapers" under the full-screen picture: the backend's suggestions for the shown
// wallpaper as a three-column grid of poster cards, fetched once, the first time the section
// comes on screen. Shows a spinner while they load and "Wallpaper not indexed yet" when there
// are none or the fetch failed (only isFailed() tells which). A card opens its wallpaper through
// the given context. GUI thread; a child of the view.
class RelatedWallpapersSection : public QWidget {
    Q_OBJECT

public:
    static constexpr int kColumns = 3;
    static constexpr int kSpacing = 12;

    RelatedWallpapersSection(std::optional<qint64> key, BrowseContext* context, QWidget* parent = nullptr);

    // Does nothing after the first call, and for a wallpaper without a key.
    void startFetchIfNeeded();

    bool isFetchStarted() const { return started_; }
    bool isFetchCompleted() const { return completed_; }
    bool isFailed() const { return failed_; }
    const QList<WallpaperModel>& wallpapers() const { return wallpapers_; }
    LazyGridView* grid() const { return grid_; }

    // The space above the section: 6.5% of 0.8 × the main screen's usable height, at most 60;
    // 60 without a main screen or when 0.8 × that height passes 1000.
    static int topPadding(std::optional<int> mainScreenHeight);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

Q_SIGNALS:
    void contentChanged();

private:
    void finish(QList<WallpaperModel> wallpapers, bool failed);

    const std::optional<qint64> key_;
    BrowseContext* context_;
    QStackedWidget* states_;
    LazyGridView* grid_;
    bool started_ = false;
    bool completed_ = false;
    bool failed_ = false;
    QList<WallpaperModel> wallpapers_;
};
