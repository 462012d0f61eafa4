#include "screens/browse/PopularScrollableSection.h"

#include "ui/LazyGridView.h"
#include "ui/LoadingWallpapersRow.h"
#include "ui/PosterCardView.h"
#include "ui/TextLabel.h"
#include "ui/Theme.h"

#include <QVBoxLayout>

PopularScrollableSection::PopularScrollableSection(const QString& title, const QString& subtitle,
    BrowseContext* context, QWidget* parent)
    : QWidget(parent), context_(context), grid_(new LazyGridView), loading_(new LoadingWallpapersRow)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(30);
    auto* heading = new QVBoxLayout;
    heading->setSpacing(4);
    heading->addWidget(new TextLabel(title, Theme::font(Theme::TextStyle::LargeTitle, QFont::Bold), Qt::white, this));
    if (!subtitle.isEmpty()) {
        heading->addWidget(new TextLabel(subtitle, Theme::font(Theme::TextStyle::Title3, QFont::Light),
            Theme::withOpacity(Qt::white, 0.45), this));
    }
    column->addLayout(heading);
    column->addWidget(grid_);
    column->addWidget(loading_);
    loading_->hide();
    grid_->setColumns(3);
    grid_->setSpacing(24, 20);
    grid_->setCellFactory(
        [this](int index) -> QWidget* { return new PosterCardView(wallpapers_.at(index), {}, context_); });
    connect(grid_, &LazyGridView::cellAppeared, this, [this](int index) {
        if (index >= wallpapers_.size() - kLoadMoreReach)
            Q_EMIT loadMoreRequested();
    });
}

void PopularScrollableSection::setWallpapers(const QList<WallpaperModel>& wallpapers)
{
    wallpapers_ = wallpapers;
    QList<QUuid> keys;
    for (const WallpaperModel& wallpaper : wallpapers_)
        keys.append(wallpaper.id);
    grid_->setKeys(keys);
}

void PopularScrollableSection::setLoadingMore(bool loading) { loading_->setVisible(loading); }
