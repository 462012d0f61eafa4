#include "screens/browse/HomeGridSection.h"

#include "screens/browse/SectionTitleComponent.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"

#include <QVBoxLayout>

namespace {
constexpr int kColumnSpacing = 24;
constexpr int kRowSpacing = 20;
} // namespace

HomeGridSection::HomeGridSection(const QString& title, const QString& subtitle, int rows, int columnsPerRow,
    bool clickableTitle, BrowseContext* context, QWidget* parent)
    : QWidget(parent), cardCount_(std::max(0, rows) * std::max(0, columnsPerRow)), context_(context),
      title_(new SectionTitleComponent(title, subtitle, clickableTitle, this)), grid_(new LazyGridView)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kRowSpacing);
    column->addWidget(title_);
    column->addWidget(grid_);
    grid_->setColumns(std::max(1, columnsPerRow));
    grid_->setSpacing(kColumnSpacing, kRowSpacing);
    grid_->setCellFactory(
        [this](int index) -> QWidget* { return new PosterCardView(shown_.at(index), {}, context_); });
    connect(title_, &SectionTitleComponent::clicked, this, &HomeGridSection::titleClicked);
}

void HomeGridSection::setWallpapers(const QList<WallpaperModel>& wallpapers)
{
    shown_ = wallpapers.mid(0, cardCount_);
    QList<QUuid> keys;
    for (const WallpaperModel& wallpaper : std::as_const(shown_))
        keys.append(wallpaper.id);
    grid_->setKeys(keys);
}
