#include "screens/browse/HomeGridSection.h"

#include "screens/browse/SectionTitleComponent.h"
#include "ui/BrowseContext.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"

#include <QVBoxLayout>

namespace {
constexpr int kHeadingSpacing = 30;
constexpr int kBottomPadding = 5;
constexpr double kPosterAspect = 9.0 / 16.0;
} // namespace

HomeGridSection::HomeGridSection(const QString& title, const QString& subtitle, bool clickableTitle, const Shape& shape,
    BrowseContext* context, QWidget* parent)
    : QWidget(parent), shape_(shape), context_(context),
      heading_(new SectionTitleComponent(title, subtitle, clickableTitle)), grid_(new LazyGridView)
{
    grid_->setColumns(std::max(1, shape_.columnsPerRow));
    grid_->setCellAspectRatio(kPosterAspect);
    grid_->setSpacing(shape_.columnSpacing, shape_.cardSpacing);
    grid_->setCellFactory([this](int index) -> QWidget* { return new PosterCardView(shown_.at(index), {}, context_); });
    grid_->setCellUpdater([this](QWidget* cell, int index) { PosterCardView::refresh(cell, shown_.at(index)); });
    connect(heading_, &SectionTitleComponent::titleClicked, this, &HomeGridSection::titleClicked);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, kBottomPadding);
    column->setSpacing(kHeadingSpacing);
    column->addWidget(heading_);
    column->addWidget(grid_);
}

void HomeGridSection::setWallpapers(const QList<WallpaperModel>& wallpapers)
{
    const int count = std::max(0, shape_.rows) * std::max(0, shape_.columnsPerRow);
    shown_ = wallpapers.mid(0, std::min(count, int(wallpapers.size())));
    QList<QUuid> keys;
    for (const WallpaperModel& wallpaper : shown_)
        keys.append(wallpaper.id);
    grid_->setKeys(keys);
    grid_->setVisible(!shown_.isEmpty());
}
