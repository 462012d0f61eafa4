#include "screens/browse/ExploreFilterChips.h"

#include "state/AppStore.h"
#include "ui/FilterChip.h"
#include "ui/FilterChipsRow.h"
#include "ui/LockscreenExclusiveChip.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {
constexpr int kSpacing = 12;

QHBoxLayout* leadingRow()
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(kSpacing);
    return row;
}
} // namespace

const QList<ExploreFilterChips::Resolution>& ExploreFilterChips::resolutions()
{
    static const QList<Resolution> list{
        {tr("Ultrawide (21:9)"), QStringLiteral("21:9")},
        {tr("Landscape (16:9)"), QStringLiteral("16:9")},
        {tr("HD (1920x1080)"), QStringLiteral("HD")},
        {tr("4K (3840x2160)"), QStringLiteral("4K")},
    };
    return list;
}

ExploreFilterChips::ExploreFilterChips(AppStore& appStore, QWidget* parent)
    : QWidget(parent), appStore_(appStore), categories_(new FilterChipsRow(this)),
      lockScreen_(new LockscreenExclusiveChip(this))
{
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 10);
    rows->setSpacing(kSpacing);

    QHBoxLayout* resolutionRow = leadingRow();
    for (const Resolution& resolution : resolutions()) {
        auto* chip = new FilterChip(resolution.label, false, this);
        connect(chip, &FilterChip::clicked, this, [this, resolution] { toggleResolution(resolution); });
        resolutionChips_.append(chip);
        resolutionRow->addWidget(chip);
    }
    resolutionRow->addStretch();
    rows->addLayout(resolutionRow);

    // A chip whose category went away since only clears the resolution.
    connect(categories_, &FilterChipsRow::itemSelected, this, [this](const QString& title) {
        clearSelectedResolution();
        if (const auto category = FilterChipsRow::categoryFor(title, appStore_.categories()))
            Q_EMIT categoryRequested(CategoryNavigationItem::named(int(category->id), category->categoryName));
    });
    categories_->setItems(categoryChipItems());
    connect(&appStore_, &AppStore::categoriesChanged, this, [this] { categories_->setItems(categoryChipItems()); });
    rows->addWidget(categories_);

    QHBoxLayout* lockScreenRow = leadingRow();
    lockScreenRow->addWidget(lockScreen_);
    lockScreenRow->addStretch();
    rows->addLayout(lockScreenRow);
    connect(lockScreen_, &FilterChip::clicked, this, [this] {
        clearSelectedResolution();
        Q_EMIT categoryRequested(
            CategoryNavigationItem::named(CategoryNavigationItem::kLockScreenExclusives, QStringLiteral("Lockscreen Exclusive")));
    });
}

QStringList ExploreFilterChips::categoryChipItems() const
{
    QStringList items;
    for (const CategoryItem& category : appStore_.categories())
        items.append(category.categoryName);
    items.append(FilterChipsRow::kMonochromeTitle);
    return items;
}

FilterChip* ExploreFilterChips::resolutionChip(const QString& value) const
{
    for (qsizetype i = 0; i < resolutions().size(); ++i) {
        if (resolutions().at(i).value == value)
            return resolutionChips_.at(i);
    }
    return nullptr;
}

void ExploreFilterChips::toggleResolution(const Resolution& resolution)
{
    if (selectedResolution_ == resolution.value) {
        clearSelectedResolution();
        return;
    }
    setSelectedResolution(resolution.value);
    CategoryNavigationItem item = CategoryNavigationItem::named(CategoryNavigationItem::kResolutionList, resolution.label);
    item.isFromSection = false;
    item.customTitle = resolution.label;
    item.resolutionFilter = resolution.value;
    Q_EMIT categoryRequested(item);
}

void ExploreFilterChips::clearSelectedResolution() { setSelectedResolution(std::nullopt); }

void ExploreFilterChips::setSelectedResolution(const std::optional<QString>& value)
{
    selectedResolution_ = value;
    for (qsizetype i = 0; i < resolutions().size(); ++i)
        resolutionChips_.at(i)->setSelected(resolutions().at(i).value == value);
}
