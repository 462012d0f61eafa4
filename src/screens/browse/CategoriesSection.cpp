#include "screens/browse/CategoriesSection.h"

#include "foundation/Log.h"
#include "model/WallpaperAssets.h"
#include "screens/browse/CategoryCardView.h"
#include "screens/browse/SectionTitleComponent.h"
#include "state/AppStore.h"
#include "ui/LazyGridView.h"

#include <QSet>
#include <QVBoxLayout>

namespace {
constexpr int kHeadingSpacing = 30;
constexpr int kColumns = 3;

// Cells are keyed by a stable id made from the category's id.
QUuid keyFor(const CategoryItem& category)
{
    static const QUuid space = QUuid::fromString(QStringLiteral("{6c1f3b52-4d0e-4c55-9a57-0c2f3e8b9d11}"));
    return QUuid::createUuidV5(space, QString::number(category.id));
}
} // namespace

CategoriesSection::CategoriesSection(AppStore& appStore, int cardSpacing, QWidget* parent)
    : QWidget(parent), appStore_(appStore), grid_(new LazyGridView)
{
    grid_->setColumns(kColumns);
    grid_->setCellAspectRatio(CategoryCardView::kAspect);
    grid_->setSpacing(cardSpacing, cardSpacing);
    grid_->setCellFactory([this](int index) -> QWidget* {
        const CategoryItem& category = categories_.at(index);
        auto* card = new CategoryCardView(category, posterUrl(category, appStore_.baseUrl()));
        connect(card, &CategoryCardView::tapped, this, &CategoriesSection::categoryTapped);
        return card;
    });
    // Cards are made again when the asset host becomes known, so covers replace the placeholders.
    connect(&appStore_, &AppStore::baseUrlChanged, this, &CategoriesSection::rebuild);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kHeadingSpacing);
    column->addWidget(new SectionTitleComponent(tr("Categories"), tr("Browse wallpapers by category"), false, nullptr,
        SectionTitleComponent::Size::Block));
    column->addWidget(grid_);
}

std::optional<QUrl> CategoriesSection::posterUrl(const CategoryItem& category, const std::optional<QString>& host)
{
    if (!category.wallpaperKey)
        return std::nullopt;
    return WallpaperAssets::url(host, *category.wallpaperKey, WallpaperAssets::File::Poster);
}

void CategoriesSection::setCategories(const QList<CategoryItem>& categories)
{
    // A category listed twice gets one card: cells are keyed by the category's id.
    categories_.clear();
    QSet<qint64> seen;
    for (const CategoryItem& category : categories)
        if (!seen.contains(category.id)) {
            seen.insert(category.id);
            categories_.append(category);
        }
    rebuild();
}

void CategoriesSection::rebuild()
{
    grid_->setKeys({});
    QList<QUuid> keys;
    for (const CategoryItem& category : categories_.mid(0, kMaxShown))
        keys.append(keyFor(category));
    grid_->setKeys(keys);
}

void CategoriesSection::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    logLine(QStringLiteral("✅"), QStringLiteral("CategoriesSection"),
        QStringLiteral("Loaded %1 categories with wallpaper_key from get-categories endpoint").arg(categories_.size()));
}
