#include "screens/browse/HomeGridSection.h"

#include "screens/browse/SectionTitleComponent.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"

#include <QVBoxLayout>

HomeGridSection::HomeGridSection(const QString& title, const QString& subtitle, bool clickableTitle, const Shape& shape,
    BrowseContext* context, QWidget* parent)
    : QWidget(parent), shape_(shape), context_(context),
      title_(new SectionTitleComponent(title, subtitle, clickableTitle, nullptr, SectionTitleComponent::Size::Section,
          this)),
      grid_(new LazyGridView)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(shape.cardSpacing);
    column->addWidget(title_);
    column->addWidget(grid_);
    grid_->setColumns(std::max(1, shape.columnsPerRow));
    grid_->setSpacing(shape.columnSpacing, shape.cardSpacing);
    grid_->setCellFactory(
        [this](int index) -> QWidget* { return new PosterCardView(shown_.at(index), {}, context_); });
    connect(title_, &SectionTitleComponent::titleClicked, this, &HomeGridSection::titleClicked);
}

void HomeGridSection::setWallpapers(const QList<WallpaperModel>& wallpapers)
{
    shown_ = wallpapers.mid(0, std::max(0, shape_.rows) * std::max(0, shape_.columnsPerRow));
    QList<QUuid> keys;
    for (const WallpaperModel& wallpaper : std::as_const(shown_))
        keys.append(wallpaper.id);
    grid_->setKeys(keys);
}
