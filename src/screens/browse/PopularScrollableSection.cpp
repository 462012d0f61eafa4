#include "screens/browse/PopularScrollableSection.h"

#include "screens/browse/SectionTitleComponent.h"
#include "ui/BrowseContext.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"
#include "ui/Spinner.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int kHeadingSpacing = 30;
constexpr int kLoadingPadding = 60;
constexpr double kPosterAspect = 9.0 / 16.0;

QWidget* loadingBlock()
{
    auto* block = new QWidget;
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(0, kLoadingPadding, 0, kLoadingPadding);
    column->setSpacing(16);
    column->addWidget(new Spinner(1.2, Qt::white), 0, Qt::AlignHCenter);
    auto* label = new QLabel(QObject::tr("Loading wallpapers..."));
    label->setFont(Theme::systemFont(14));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Theme::withOpacity(Qt::white, 0.6));
    label->setPalette(palette);
    column->addWidget(label, 0, Qt::AlignHCenter);
    return block;
}
} // namespace

PopularScrollableSection::PopularScrollableSection(const QString& title, const QString& subtitle, int columns,
    int cardSpacing, int columnSpacing, BrowseContext* context, QWidget* parent)
    : QWidget(parent), context_(context),
      heading_(new SectionTitleComponent(title, subtitle, false, nullptr, SectionTitleComponent::Size::Block)),
      grid_(new LazyGridView), loading_(loadingBlock())
{
    grid_->setColumns(std::max(1, columns));
    grid_->setCellAspectRatio(kPosterAspect);
    grid_->setSpacing(columnSpacing, cardSpacing);
    grid_->setCellFactory([this](int index) -> QWidget* { return new PosterCardView(wallpapers_.at(index), {}, context_); });
    grid_->setCellUpdater([this](QWidget* cell, int index) { PosterCardView::refresh(cell, wallpapers_.at(index)); });
    connect(grid_, &LazyGridView::cellAppeared, this, [this](int index) {
        if (index >= int(wallpapers_.size()) - kLoadMoreWithin)
            Q_EMIT loadMore();
    });
    loading_->hide();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kHeadingSpacing);
    column->addWidget(heading_);
    column->addWidget(grid_);
    column->addWidget(loading_);
}

void PopularScrollableSection::setWallpapers(const QList<WallpaperModel>& wallpapers)
{
    wallpapers_ = wallpapers;
    QList<QUuid> keys;
    keys.reserve(wallpapers_.size());
    for (const WallpaperModel& wallpaper : wallpapers_)
        keys.append(wallpaper.id);
    grid_->setKeys(keys);
}

void PopularScrollableSection::setLoadingMore(bool loading) { loading_->setVisible(loading); }

bool PopularScrollableSection::isLoadingMore() const { return !loading_->isHidden(); }
