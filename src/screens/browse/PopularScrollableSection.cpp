#include "screens/browse/PopularScrollableSection.h"

#include "screens/browse/SectionTitleComponent.h"
#include "ui/LazyGridView.h"
#include "ui/LoadingWallpapersRow.h"
#include "ui/PosterCardView.h"

#include <QVBoxLayout>

PopularScrollableSection::PopularScrollableSection(const QString& title, const QString& subtitle, int columns,
    int cardSpacing, int columnSpacing, BrowseContext* context, QWidget* parent)
    : QWidget(parent), context_(context), grid_(new LazyGridView), loading_(new LoadingWallpapersRow)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(30);
    column->addWidget(
        new SectionTitleComponent(title, subtitle, false, nullptr, SectionTitleComponent::Size::Block, this));
    column->addWidget(grid_);
    column->addWidget(loading_);
    loading_->hide();
    grid_->setColumns(std::max(1, columns));
    grid_->setSpacing(columnSpacing, cardSpacing);
    grid_->setCellFactory(
        [this](int index) -> QWidget* { return new PosterCardView(wallpapers_.at(index), {}, context_); });
    connect(grid_, &LazyGridView::cellAppeared, this, [this](int index) {
        if (index >= wallpapers_.size() - kLoadMoreWithin)
            Q_EMIT loadMore();
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

bool PopularScrollableSection::isLoadingMore() const { return loading_->isVisibleTo(this); }
